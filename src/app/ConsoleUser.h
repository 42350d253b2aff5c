#pragma once

#include "base/WideString.h"

// The user of the session attached to the physical console, which need not be the user running this
// process (an elevated or scheduled instance). Empty when there is no console session or no user in it.
[[nodiscard]] WideString QueryConsoleUserName();

// Removes \ / : * ? " < > | so that the name can stand in a file name.
[[nodiscard]] WideString RemoveForbiddenFileNameCharacters(WideView name);
