#include "window/shop_record.h"

#include "history/csv_field.h"

namespace quenfall::window {

std::string ShopRecordCsv(std::span<const ShopRecordRow> rows) {
    std::string out = "location,serial,emulated,node,package,sha256,outcome,seconds,start\r\n";
    const auto field = [&out](const std::string& text) { CsvField(out, text, ControlCharacters::Escape); };
    for (const ShopRecordRow& row : rows) {
        field(row.Location);
        out += ',';
        field(row.Serial);
        out += row.Emulated ? ",true," : ",false,";
        for (const std::string* text : {&row.Node, &row.Package, &row.Sha256, &row.Outcome}) {
            field(*text);
            out += ',';
        }
        if (row.TimeTaken) {
            // Not printf: the window's locale may write a decimal comma.
            const long long tenths = (row.TimeTaken->count() + 50) / 100;
            out += std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
        }
        out += ',';
        field(row.Start);
        out += "\r\n";
    }
    return out;
}

}  // namespace quenfall::window
