#include "io/fields.h"

#include <cstdio>

namespace vrm {

void DumpFields(const FieldDesc* fields, size_t count, const BYTE* record, const std::string& indent,
                std::string& out) {
    char text[32];
    for (size_t i = 0; i < count; ++i) {
        const FieldDesc& f = fields[i];
        if (f.kind == FieldKind::RSV) continue;
        const BYTE* p = record + f.offset;
        out += indent;
        out += f.name;
        out += " =";
        if (f.kind == FieldKind::BYTES || f.kind == FieldKind::U40) {
            // Long arrays (texts, palettes) are mostly zero: stop at the last
            // byte that is not.
            size_t shown = f.width;
            while (f.width > 8 && shown > 0 && p[shown - 1] == 0) --shown;
            for (size_t b = 0; b < shown; ++b) {
                std::snprintf(text, sizeof text, " %02X", p[b]);
                out += text;
            }
            if (shown < f.width) out += " ...";
        } else {
            std::snprintf(text, sizeof text, " %llu", static_cast<unsigned long long>(be_load_n(p, f.width)));
            out += text;
        }
        out += '\n';
    }
}

}  // namespace vrm
