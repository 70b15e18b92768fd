// The base of every object a script line declares (a name, "NULL" until the line names it),
// and the named width and height of a layer.
#pragma once

#include "foundation/StringC.h"

class ScriptNamedEntry {
public:
    virtual ~ScriptNamedEntry() = default;
    StringC m_name{"NULL"};
};

class ScriptLayerDimension : public ScriptNamedEntry {
public:
    int m_width = 0;
    int m_height = 0;
};
