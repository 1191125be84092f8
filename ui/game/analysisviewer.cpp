#include "ui/game/analysisviewer.h"

#include <QAction>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/codepage.h"
#include "platform/files.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"

namespace quorel::ui {

namespace {
QFont ReportFont() {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setPointSize(10);
    return f;
}
} // namespace

TAnalysisViewer::TAnalysisViewer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TAnalysisViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Rebel analysis"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* menu = bar->addMenu(QStringLiteral("&Analysis"));
    menu->setObjectName(QStringLiteral("Analysis1"));
    QAction* save = menu->addAction(QStringLiteral("&Save to file"));
    save->setObjectName(QStringLiteral("Savetofile1"));
    save->setShortcut(QKeySequence::Save);
    QAction* print = menu->addAction(QStringLiteral("&Print"));
    print->setObjectName(QStringLiteral("Print1"));
    print->setShortcut(QKeySequence::Print);
    connect(save, &QAction::triggered, this, &TAnalysisViewer::Savetofile1Click);
    connect(print, &QAction::triggered, this, &TAnalysisViewer::Print1Click);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo"));
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    memo_->setFont(f);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setMenuBar(bar);
    lay->addWidget(memo_);
    ApplyLanguage(this);
    resize(640, 480);
}

QString TAnalysisViewer::Msg(const QString& key) const {
    return LangText(this, key);
}

void TAnalysisViewer::SetLines(const QStringList& lines) {
    lines_ = lines;
    memo_->setPlainText(lines.join(QLatin1Char('\n')));
}

bool TAnalysisViewer::SaveToFile(const QString& file, QString* error) const {
    std::string bytes;
    for (const QString& line : lines_)
        bytes += Utf8ToCp1252(line.toStdString()) + "\r\n";
    std::string why;
    if (AtomicWriteFile(file.toStdString(), bytes, &why)) return true;
    if (error) *error = QString::fromStdString(why);
    return false;
}

void TAnalysisViewer::Savetofile1Click() {
    const QString file = QFileDialog::getSaveFileName(this, Msg(QStringLiteral("@SaveTitle")),
                                                      AppContext().programFolder,
                                                      Msg(QStringLiteral("@TextFilter")));
    if (file.isEmpty()) return;
    QString error;
    if (!SaveToFile(file, &error))
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorWriting")) + QStringLiteral(" ") + file +
                 (error.isEmpty() ? QString() : QStringLiteral(": ") + error));
}

void TAnalysisViewer::Print1Click() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(Msg(QStringLiteral("@PrintTitle")));
    if (dialog.exec() != QDialog::Accepted) return;
    PrintLines(printer);
}

void TAnalysisViewer::PrintLines(QPrinter& printer) const {
    QPainter p;
    if (!p.begin(&printer)) return;
    p.setFont(ReportFont());
    p.setPen(Qt::black);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRect area(0, 0, page.width(), page.height());
    const int step = p.fontMetrics().lineSpacing();
    int y = p.fontMetrics().ascent();
    for (const QString& line : lines_) {
        if (y > area.bottom()) {
            printer.newPage();
            y = p.fontMetrics().ascent();
        }
        p.drawText(0, y, line);
        y += step;
    }
    p.end();
}

} // namespace quorel::ui
