// placeholder: the store is being written
