#pragma once

#include <QHash>
#include <QString>

// One (Chinese, English) pair of the built-in table, both UTF-8.
struct TranslationPair {
    const char* key;
    const char* value;
};

// The built-in table in its order (generated from translations.tsv).
const TranslationPair* translationTable();
int translationTableSize();

// The lookup map of `count` pairs: for a repeated key the first pair wins and
// "[lang] duplicate translation key at index" is logged.
QHash<QString, QString> buildTranslationMap(const TranslationPair* pairs, int count);
