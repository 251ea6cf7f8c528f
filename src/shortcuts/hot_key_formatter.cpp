#include "shortcuts/hot_key_formatter.h"

#include <array>
#include <utility>

namespace ovra {

namespace {

using Entry = std::pair<int, const char16_t*>;

// Keys with a name of their own, as the desktop's keyboard settings write them.
constexpr std::array<Entry, 26> specialKeys{{
    {49, u"Space"},   {36, u"Return"}, {48, u"Tab"},      {53, u"Escape"},     {51, u"Backspace"},
    {117, u"Delete"}, {123, u"Left"},  {124, u"Right"},   {125, u"Down"},      {126, u"Up"},
    {115, u"Home"},   {119, u"End"},   {116, u"Page Up"}, {121, u"Page Down"}, {122, u"F1"},
    {120, u"F2"},     {99, u"F3"},     {118, u"F4"},      {96, u"F5"},         {97, u"F6"},
    {98, u"F7"},      {100, u"F8"},    {101, u"F9"},      {109, u"F10"},       {103, u"F11"},
    {111, u"F12"},
}};

// The character keys of the ANSI layout.
constexpr std::array<Entry, 47> letterKeys{{
    {0, u"A"},   {1, u"S"},  {2, u"D"},  {3, u"F"},  {4, u"H"},  {5, u"G"},  {6, u"Z"},  {7, u"X"},
    {8, u"C"},   {9, u"V"},  {11, u"B"}, {12, u"Q"}, {13, u"W"}, {14, u"E"}, {15, u"R"}, {16, u"Y"},
    {17, u"T"},  {31, u"O"}, {32, u"U"}, {34, u"I"}, {35, u"P"}, {37, u"L"}, {38, u"J"}, {40, u"K"},
    {45, u"N"},  {46, u"M"}, {18, u"1"}, {19, u"2"}, {20, u"3"}, {21, u"4"}, {23, u"5"}, {22, u"6"},
    {26, u"7"},  {28, u"8"}, {25, u"9"}, {29, u"0"}, {27, u"-"}, {24, u"="}, {30, u"]"}, {33, u"["},
    {42, u"\\"}, {39, u"'"}, {41, u";"}, {47, u"."}, {44, u"/"}, {50, u"`"}, {43, u","},
}};

template <std::size_t N> const char16_t* lookup(const std::array<Entry, N>& table, qint64 code) {
    for (const auto& [key, text] : table)
        if (key == code)
            return text;
    return nullptr;
}

} // namespace

QString HotKeyFormatter::keyName(qint64 code) {
    if (const char16_t* text = lookup(specialKeys, code))
        return QString::fromUtf16(text);
    if (const char16_t* text = lookup(letterKeys, code))
        return QString::fromUtf16(text);
    return QStringLiteral("Tecla ") + QString::number(code);
}

QString HotKeyFormatter::displayString(qint64 code, qint64 carbonModifiers) {
    // The order and words of the desktop's own keyboard settings: "Ctrl+Alt+Shift+Super+K".
    QString text;
    if (carbonModifiers & CarbonModifier::control)
        text += QStringLiteral("Ctrl+");
    if (carbonModifiers & CarbonModifier::option)
        text += QStringLiteral("Alt+");
    if (carbonModifiers & CarbonModifier::shift)
        text += QStringLiteral("Shift+");
    if (carbonModifiers & CarbonModifier::command)
        text += QStringLiteral("Super+");
    return text + keyName(code);
}

quint32 HotKeyFormatter::carbonModifiers(Qt::KeyboardModifiers modifiers) {
    quint32 bits = 0;
    if (modifiers & Qt::ControlModifier)
        bits |= CarbonModifier::control;
    if (modifiers & Qt::AltModifier)
        bits |= CarbonModifier::option;
    if (modifiers & Qt::ShiftModifier)
        bits |= CarbonModifier::shift;
    if (modifiers & Qt::MetaModifier)
        bits |= CarbonModifier::command;
    return bits;
}

} // namespace ovra
