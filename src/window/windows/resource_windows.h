// SPDX-License-Identifier: MIT
// The number of the program's icon resource (the pictures' and sounds' come
// from the media list).
#pragma once

#define IDI_TARVO 1
