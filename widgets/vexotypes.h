#pragma once

// Alias names for plain numbers, so that a meta-object signature says what a value means
// (a level in dB is a double_db, not just a double).
typedef double double_position;
typedef double double_db;
typedef double double_phase;
typedef int int_number;
typedef char char_none;

// Makes the alias names known to the meta-type system as names of their built-in types.
void registerVexoTypes();
