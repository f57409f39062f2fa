// A byte buffer of the calling thread that the still-file writers reuse from
// one save to the next (a TIFF strip, a temperature array): a fresh buffer of a
// picture's size costs more in mapping and clearing its pages than the file's
// own write. It lives until the thread ends and holds as much as the largest
// save of that thread asked for (1.2 MB for a 640 x 480 temperature array).
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

class WriterScratch {
public:
    // At least bytes bytes of undefined content, valid until the thread's next
    // call; nullptr when the memory cannot be had. One writer at a time per
    // thread uses it: a save never runs inside another.
    static std::uint8_t* Get(std::size_t bytes);
};

}  // namespace calidra
