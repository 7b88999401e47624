#include "text/plural_rules.h"

#include <iterator>

namespace quenfall::text {

namespace {

size_t OneOther(unsigned long long n) { return n == 1 ? 0 : 1; }
size_t ZeroOneOther(unsigned long long n) { return n > 1 ? 1 : 0; }
size_t OnlyOne(unsigned long long) { return 0; }
size_t Slavic(unsigned long long n) {
    if (n % 10 == 1 && n % 100 != 11) return 0;
    if (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 10 || n % 100 >= 20)) return 1;
    return 2;
}

constexpr PluralRule Rules[] = {
    {"en", "nplurals=2; plural=(n != 1);", OneOther},
    {"de", "nplurals=2; plural=(n != 1);", OneOther},
    {"es", "nplurals=2; plural=(n != 1);", OneOther},
    {"fr", "nplurals=2; plural=(n > 1);", ZeroOneOther},
    {"pt_BR", "nplurals=2; plural=(n > 1);", ZeroOneOther},
    {"ru",
     "nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && "
     "(n%100<10 || n%100>=20) ? 1 : 2);",
     Slavic},
    {"zh_CN", "nplurals=1; plural=0;", OnlyOne},
};

}  // namespace

const PluralRule& PluralRuleFor(std::string_view language) {
    for (const PluralRule& rule : Rules) {
        if (rule.Language == language) return rule;
    }
    return Rules[0];
}

}  // namespace quenfall::text
