#include "app/lang.h"

// Placeholder until the translation table lands: Chinese only.
namespace {
int g_language = 0;
std::function<void()> g_handler;
}

void setLanguage(int value) { g_language = value == 1 ? 1 : 0; }
int currentLanguage() { return g_language; }
bool isEnglish() { return g_language == 1; }
QString translate(const QString& text) { return text; }
QString translate(const char* utf8) { return QString::fromUtf8(utf8); }
QString translate(const char16_t* utf16) { return utf16 ? QString::fromUtf16(utf16) : QString(); }
void setLanguageChangedHandler(std::function<void()> handler) { g_handler = std::move(handler); }
void notifyLanguageChanged() { if (g_handler) g_handler(); }
