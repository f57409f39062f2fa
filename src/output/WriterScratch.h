// A byte buffer that a still writer reuses from one save to the next (a TIFF
// strip, a temperature array): a fresh buffer of a picture's size costs more in
// mapping and clearing its pages than the file's own write. It holds as much as
// the largest save asked for (1.2 MB for a 640 x 480 temperature array) until
// its owner goes. An object of its owner rather than of the thread: memory of a
// thread is not given back reliably when the thread ends in every runtime.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace calidra {

class WriterScratch {
public:
    // At least bytes bytes of undefined content, valid until the next call;
    // nullptr when the memory cannot be had. The storage comes from operator
    // new, aligned for every element type a writer puts there.
    std::uint8_t* Get(std::size_t bytes);

private:
    std::vector<std::uint8_t> buffer_;
};

}  // namespace calidra
