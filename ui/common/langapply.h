#pragma once
// Bridge between the language tables of the core and the Qt widgets: a
// window's table (named after its class, the window's objectName) is applied
// to its widgets by objectName, and its "@" messages are looked up here.
#include <QString>

class QWidget;

namespace quorel::ui {

// The language of the run (0 English .. 6 Portuguese), set once at start
// from the settings; windows created afterwards show it.
void SetUiLanguage(int language);
int UiLanguage();

// Applies the table named after form->objectName() in UiLanguage() to the
// form and its children (captions, texts, items, hints, the form's caption).
// Returns false when the program has no table of that name.
bool ApplyLanguage(QWidget* form);
// Same, with the table of another class name (dialogs that share a table).
bool ApplyLanguage(QWidget* form, const QString& windowClass);

// Text of a key ("@Key" messages, captions) of a window's table in
// UiLanguage(), with the English text when the chosen one is empty; the
// empty text when the key is missing.
QString LangText(const QString& windowClass, const QString& key);
// Same for the table of form->objectName().
QString LangText(const QWidget* form, const QString& key);

} // namespace quorel::ui
