// SPDX-License-Identifier: GPL-3.0-or-later
#include "stringtable.h"

#include "version.h"

#include <algorithm>
#include <array>
#include <iterator>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitSdvigulResources() {
    Q_INIT_RESOURCE(sdvigul);
}

namespace res {
namespace {

struct Entry {
    int id;
    const char* text; // UTF-8
};

// Sorted by id. Ids 40 and 42 end in a blank: other text is joined to them.
constexpr std::array<Entry, 22> kTable{{
    {0, "&Игра"},
    {1, "&Новая игра"},
    {2, "Сдвиг &фишки"},
    {3, "По &клику"},
    {4, "&Перетаскиванием"},
    {5, "Под&сказка"},
    {6, "Ру&башка..."},
    {7, "&Мастер ходов"},
    {8, "Вы&ход"},
    {9, "&Справка"},
    {10, "&Вызов справки"},
    {11, "О &программе"},
    {20, "Еще раз?"},
    {21, "Поздравляем!"},
    {30, "Файл 'Help.txt' не найден"},
    {31, "notepad.exe help.txt"},
    {40, "О программе "},
    {41, "Описание"},
    {42, "Об авторе: "},
    {50, "ОК"},
    {51, "&Отмена"},
    {60, "Ассорти"},
}};

const Entry* Find(int id) {
    const auto it = std::lower_bound(kTable.begin(), kTable.end(), id,
                                     [](const Entry& e, int wanted) { return e.id < wanted; });
    return (it != kTable.end() && it->id == id) ? &*it : nullptr;
}

} // namespace

QString LoadResString(int id) {
    const Entry* e = Find(id);
    return e ? QString::fromUtf8(e->text) : QString();
}

bool HasResString(int id) {
    return Find(id) != nullptr;
}

QString CaptionFromStoredId(const QString& storedCaption) {
    bool isNumber = false;
    const int id = storedCaption.trimmed().toInt(&isNumber, 10);
    if (!isNumber || !HasResString(id))
        return storedCaption;
    return LoadResString(id);
}

QString AppTitle() {
    return QString::fromUtf8(version::AppTitle);
}

void InitResources() {
    InitSdvigulResources();
}

} // namespace res
