#include "LibraryPalette.h"

#include <cstdio>

#include "JsonObject.h"
#include "pipeline/Palette.h"

namespace calidra::tool {

std::string LibraryPalette::Json() {
    Palette::Entries entries{};
    Palette::BuildPalette(entries);
    std::string colours = "[";
    for (std::uint32_t entry : entries) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "\"#%02x%02x%02x\"", Palette::Red(entry), Palette::Green(entry),
                      Palette::Blue(entry));
        if (colours.size() > 1) colours += ',';
        colours += colour;
    }
    return JsonObject().Add("name", "library").AddRaw("colours", colours + "]").Text();
}

}  // namespace calidra::tool
