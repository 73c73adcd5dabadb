#include "widgets/vexotypes.h"

#include <QMetaType>

void registerVexoTypes()
{
    // Typedef registrations: each name resolves to the built-in type's id, no new type.
    qRegisterMetaType<double>("double_position");
    qRegisterMetaType<double>("double_db");
    qRegisterMetaType<double>("double_phase");
    qRegisterMetaType<int>("int_number");
    qRegisterMetaType<char>("char_none");
}
