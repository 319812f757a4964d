#pragma once
// Value helpers the blocks share.
#include "platform/variant.h"

// Turns a string input into a number or a Boolean, in place, before the
// comparison and logic blocks use it: a leading base-10 integer (strtol rules:
// leading blanks and a sign, parsing stops at the first other character) gives
// a long; otherwise the trimmed, lower-cased text gives Boolean FALSE when it is
// empty or "false" and TRUE for anything else. Callers pass string values only;
// it always succeeds.
void ConvertStringInput(Variant& value);
