// calidra-demo: what './run demo' runs; the same as 'calidra demo'.
#include <string>
#include <vector>

#include "Commands.h"
#include "Console.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    calidra::tool::Interrupt::Install();
    return calidra::tool::RunDemo(args);
}
