#pragma once
// TAnalysisViewer: the report of a game analysis in a child window of the
// frame. A read-only text without word wrap and a menu "Analysis" with
// "Save to file" (a text file the player chooses) and "Print" (each line in
// "Courier New" 10 point on the printer chosen in the print dialog).
#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QPrinter;

namespace quorel::ui {

class TAnalysisViewer : public QWidget {
    Q_OBJECT
  public:
    explicit TAnalysisViewer(QWidget* parent = nullptr);

    void SetLines(const QStringList& lines);
    QStringList Lines() const { return lines_; }
    QPlainTextEdit* Memo() const { return memo_; }

    // Asks for a file (filter "Text files", starting in the program folder,
    // asking before it overwrites) and writes the lines there.
    void Savetofile1Click();
    // Writes the lines to file as the program's text files are written
    // (Windows-1252, CR LF); false with the reason in error.
    bool SaveToFile(const QString& file, QString* error = nullptr) const;
    // The print dialog, then every line on the chosen printer.
    void Print1Click();
    // Prints every line on printer, page after page.
    void PrintLines(QPrinter& printer) const;

  private:
    QString Msg(const QString& key) const;

    QPlainTextEdit* memo_;
    QStringList lines_;
};

} // namespace quorel::ui
