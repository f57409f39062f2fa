// The tool's tables behind the plain C calls of calidranames.h. Nothing may
// throw across that boundary: a failed allocation becomes a failure result.
#include "calidranames.h"

#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "Catalog.h"
#include "CentiKelvin.h"
#include "ErrorCodes.h"
#include "Numbers.h"

using calidra::tool::Catalog;
using calidra::tool::CentiKelvin;
using calidra::tool::ErrorCodes;
using calidra::tool::Numbers;

GArray* calidra_names_parse_settings(const gchar* text, gchar** problem) {
    constexpr std::string_view kSpace = " \t\r\n";
    GArray* settings = g_array_new(FALSE, FALSE, sizeof(CalidraSetting));
    std::string_view rest(text != nullptr ? text : "");
    while (true) {
        std::size_t start = rest.find_first_not_of(kSpace);
        if (start == std::string_view::npos) return settings;
        rest.remove_prefix(start);
        std::string_view word = rest.substr(0, rest.find_first_of(kSpace));
        rest.remove_prefix(word.size());
        std::size_t equals = word.find('=');
        std::optional<int> id = Catalog::ParameterId(word.substr(0, equals));
        std::optional<int> value =
            equals == std::string_view::npos ? std::nullopt : Numbers::ParseInt(word.substr(equals + 1));
        if (!id || !value) {
            *problem = g_strdup_printf(
                "'%.*s' is not NAME=VALUE with a parameter name or number and a whole number "
                "(for example range-low=1500)",
                static_cast<int>(word.size()), word.data());
            g_array_unref(settings);
            return nullptr;
        }
        CalidraSetting setting = {*id, *value};
        g_array_append_val(settings, setting);
    }
}

gchar* calidra_names_parameter(int id) {
    const calidra::tool::Parameter* parameter = Catalog::FindParameter(id);
    if (parameter == nullptr) return g_strdup_printf("register %d", id);
    return g_strdup_printf("%.*s (%d)", static_cast<int>(parameter->name.size()), parameter->name.data(), id);
}

gchar* calidra_names_describe_error(int code) {
    try {
        return g_strdup(ErrorCodes::Describe(code).c_str());
    } catch (const std::bad_alloc&) {
        return g_strdup_printf("code %d", code);
    }
}

void calidra_names_centikelvin(const float* degrees, guint16* samples, gsize count) {
    for (gsize i = 0; i < count; ++i) samples[i] = CentiKelvin::FromCelsius(degrees[i]);
}
