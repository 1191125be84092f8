#pragma once
// Small helpers shared by the dialogs: text conversion between the core's
// UTF-8 strings and Qt, and the run's frame window.
#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace quorel::ui {

class TMainForm;

inline QString QU(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
inline std::string SU(const QString& s) {
    return s.toStdString();
}

// The frame that w belongs to (w itself, one of its parents, or the
// application's frame window); nullptr when the program has none (tests).
TMainForm* FrameOf(QWidget* w);

// Window caption used by the dialogs' message boxes.
inline QString BoxTitle() {
    return QStringLiteral("Quorel");
}

} // namespace quorel::ui
