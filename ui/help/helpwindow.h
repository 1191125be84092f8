#pragma once
// The help window: the HTML user manual shown in a text browser with
// Contents, Back and Forward. One window serves the whole run; F1 and
// Help/Index raise it.
#include <QDialog>
#include <QString>

class QTextBrowser;
class QPushButton;

namespace quorel::ui {

class THelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows index.html of the manual, or the given page of it.
    void ShowIndex();
    bool ShowFile(const QString& path);
    QString CurrentFile() const;

    // The manual's folder: beside the executable (doc/manual), in
    // ../share/quorel/manual, or the source tree's docs/manual; empty when
    // none holds an index.html.
    static QString ManualFolder();

    // The window shared by every caller (created on first use).
    static THelpWindow* Instance(QWidget* parent);
    // Closes the shared window when it exists (the frame's close).
    static void CloseIfOpen();

  private:
    QTextBrowser* browser_;
    QPushButton* contents_;
    QPushButton* back_;
    QPushButton* forward_;
    QPushButton* close_;
};

} // namespace quorel::ui
