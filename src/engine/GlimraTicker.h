#pragma once

#include <cstdint>

// The base of everything advanced once per tick: the engine, its columns, its cells and the
// creatures. Every override of Tick calls the inherited one first.
class vGlimraTicker {
public:
    virtual ~vGlimraTicker() = default;
    virtual void Tick(int32_t counter) { (void)counter; }
};
