#include "dialogs/pack_language_names.h"

#include <array>
#include <map>

using namespace Qt::StringLiterals;

namespace ovra::PackLanguageNames {

namespace {

// Names in the order of AppLanguage: Portuguese, English, Spanish, French, German, Italian.
using Names = std::array<const char16_t*, 6>;

const std::map<QString, Names>& table() {
    static const std::map<QString, Names> names{
        {u"ar"_s, {u"Árabe", u"Arabic", u"Árabe", u"Arabe", u"Arabisch", u"Arabo"}},
        {u"zh-Hans"_s,
         {u"Chinês (simplificado)", u"Chinese (Simplified)", u"Chino (simplificado)",
          u"Chinois (simplifié)", u"Chinesisch (vereinfacht)", u"Cinese (semplificato)"}},
        {u"zh-Hant"_s,
         {u"Chinês (tradicional)", u"Chinese (Traditional)", u"Chino (tradicional)",
          u"Chinois (traditionnel)", u"Chinesisch (traditionell)", u"Cinese (tradizionale)"}},
        {u"nl"_s,
         {u"Holandês", u"Dutch", u"Neerlandés", u"Néerlandais", u"Niederländisch", u"Olandese"}},
        {u"en"_s, {u"Inglês", u"English", u"Inglés", u"Anglais", u"Englisch", u"Inglese"}},
        {u"fr"_s, {u"Francês", u"French", u"Francés", u"Français", u"Französisch", u"Francese"}},
        {u"de"_s, {u"Alemão", u"German", u"Alemán", u"Allemand", u"Deutsch", u"Tedesco"}},
        {u"hi"_s, {u"Híndi", u"Hindi", u"Hindi", u"Hindi", u"Hindi", u"Hindi"}},
        {u"id"_s,
         {u"Indonésio", u"Indonesian", u"Indonesio", u"Indonésien", u"Indonesisch",
          u"Indonesiano"}},
        {u"it"_s, {u"Italiano", u"Italian", u"Italiano", u"Italien", u"Italienisch", u"Italiano"}},
        {u"ja"_s, {u"Japonês", u"Japanese", u"Japonés", u"Japonais", u"Japanisch", u"Giapponese"}},
        {u"ko"_s, {u"Coreano", u"Korean", u"Coreano", u"Coréen", u"Koreanisch", u"Coreano"}},
        {u"pl"_s, {u"Polonês", u"Polish", u"Polaco", u"Polonais", u"Polnisch", u"Polacco"}},
        {u"pt"_s,
         {u"Português", u"Portuguese", u"Portugués", u"Portugais", u"Portugiesisch",
          u"Portoghese"}},
        {u"ru"_s, {u"Russo", u"Russian", u"Ruso", u"Russe", u"Russisch", u"Russo"}},
        {u"es"_s, {u"Espanhol", u"Spanish", u"Español", u"Espagnol", u"Spanisch", u"Spagnolo"}},
        {u"th"_s, {u"Tailandês", u"Thai", u"Tailandés", u"Thaï", u"Thailändisch", u"Thailandese"}},
        {u"tr"_s, {u"Turco", u"Turkish", u"Turco", u"Turc", u"Türkisch", u"Turco"}},
        {u"uk"_s,
         {u"Ucraniano", u"Ukrainian", u"Ucraniano", u"Ukrainien", u"Ukrainisch", u"Ucraino"}},
        {u"vi"_s,
         {u"Vietnamita", u"Vietnamese", u"Vietnamita", u"Vietnamien", u"Vietnamesisch",
          u"Vietnamita"}},
    };
    return names;
}

} // namespace

QString name(const QString& code, AppLanguage in) {
    const auto found = table().find(code);
    if (found == table().end())
        return code;
    return QString::fromUtf16(found->second[static_cast<std::size_t>(in)]);
}

} // namespace ovra::PackLanguageNames
