#pragma once
// The program state of one test case, handed to the windows as main() hands its own:
// replaced by a fresh one at the start of every case.

#include "app/appstate.h"

#include <memory>
#include <string>

namespace teststate {

inline std::unique_ptr<AppState>& Holder()
{
    static std::unique_ptr<AppState> state;
    return state;
}

inline AppState& State()
{
    if (!Holder())
        Holder() = std::make_unique<AppState>();
    return *Holder();
}

inline std::string& DataFile()
{
    static std::string path;
    return path;
}

inline std::string& TempFile()
{
    static std::string path;
    return path;
}

// A fresh state: no data file open, no today, the horizon at 120.
inline void Reset()
{
    Holder().reset();
    DataFile().clear();
    TempFile().clear();
}

} // namespace teststate
