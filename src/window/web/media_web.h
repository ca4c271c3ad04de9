// SPDX-License-Identifier: MIT
// The pictures and sounds inside the browser build, as stored in assets/.
#pragma once

#include <cstddef>

namespace tarvo::on_web {

struct Media {
    const char *name; // the file's name in assets/
    const unsigned char *bytes;
    std::size_t size;
};

// The file of that name, or nullptr.
const Media *FindMedia(const char *name);

} // namespace tarvo::on_web
