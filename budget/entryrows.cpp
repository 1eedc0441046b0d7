// placeholder: this unit is being written
