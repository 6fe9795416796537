#pragma once

#include <QString>

#include <functional>

// Interface language: 0 Chinese (the default), 1 English.
void setLanguage(int value);
int currentLanguage();
bool isEnglish();

// Every visible text is written in Chinese and passed through translate()
// when it is shown; with English selected the English twin comes back.
QString translate(const QString& text);
QString translate(const char* utf8);
QString translate(const char16_t* utf16);

void setLanguageChangedHandler(std::function<void()> handler);
void notifyLanguageChanged();
