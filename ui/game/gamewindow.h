#pragma once
// The game window (TForm2): one game record on a board with its move list,
// tags and players, date register, options, notes and the opponent's
// address-book entry. Moves are entered by dragging pieces; the window keeps
// the record, tracks unsaved changes, saves, reloads, clones, imports and
// exports it.
#include <QString>
#include <QWidget>
#include <functional>

#include "chess/gamerecord.h"
#include "chess/position.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QAction;

namespace quorel::ui {

class TBoardPanel;
class TChessDiagram2D;
struct TRebelState;

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kNoName = "NONAME.QRL";

    explicit TForm2(QWidget* parent = nullptr);

    // Loads a game into the window: "NONAME.QRL" (or a failed load) gives a
    // new game in the initial position under that name.
    void RefreshGame(const QString& fileName);

    // Record to fields / fields to record.
    void Setdata();
    void GetData();

    // The file the window holds: a full path, or "NONAME.QRL".
    QString FileName() const { return fileName_; }
    bool HasFile() const;
    bool Modified() const { return modified_; }
    void SetModified(bool on);
    void SetCaption();

    const chess::TGameRecord& Record() const { return rec_; }
    chess::TGameRecord& RecordForTest() { return rec_; }
    TChessDiagram2D* Board() const { return board_; }

    // Navigation.
    void RewButtonClick();
    void BackButtonClick();
    void NextButtonClick();
    void FwdButtonClick();
    void MoveListClick(int row);
    void MoveListDblClick(int row);

    // Move entry from the board (the board's drop).
    void DiagramMouseUp(int from, int to);

    // Opens a message editor on this game (gamewindow_message.cpp).
    void CreateMessageButtonClick();

    // Saving.
    bool SaveButtonClick(); // true when the game was written
    bool Savefileas();
    void ReloadGame();
    void CloneGame();

    // Dates.
    void ReceivedButtonClick();
    void RepliedButtonClick();
    void ReceivedTodayBtnClick();
    void RepliedTodayBtnClick();
    void FindDateBtnClick();

    // Board.
    void ReverseBoard();
    void SetCoordenates();
    void BoardSetupClick();

    // Import and export.
    void ImportFromClipboard();
    void ImportFromPgnFile();
    // The Yes/No/Cancel import of a picked game record (steps 3-6).
    void ImportPickedGame(const chess::TGameRecord& picked);
    void ExportPgnToFile();
    void ExportPgnToClipboard();
    void SaveDiagramToBmp();
    void CopyDiagramToClipboard();

    QString OpponentAddress() const;
    QString OpponentName() const;
    void SetBio();

    // A message of the window's table by "@" key, with the variable parts.
    QString Msg(const QString& key) const;
    QString Msg(const chess::TUserMessage& m) const;

    // Engine analysis (gamewindow_analysis.cpp). The menu commands:
    void AnalyzePositionItemClick(); // continuous analysis of the position shown
    void AnalyzeEntireItemClick();   // every move of the game
    void AnalyzeMarkedItemClick();   // the moves marked "*"; "@NoMovesMarked" without any
    void RebelBtnClick();            // starts an analysis in the mode set by the caller
    void StopRebel1Click();          // stops it (a game analysis then shows its report)
    void RebelCtrlR();               // Ctrl+R: starts, or stops when one runs
    void Timer1Timer();              // one poll of the engine
    void SetAnalysis(bool on);       // panel, timer and menu for a running analysis
    bool AnalysisActive() const;
    // Half-moves 1..MoveCount annotated "*".
    int MovesMarked() const;

    // Opens a new window on the same file (set by the frame; without it
    // Clone opens a top-level window).
    std::function<TForm2*()> createSibling;

  signals:
    void captionChanged(const QString& caption);

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    // Engine analysis (gamewindow_analysis.cpp).
    QPushButton* BuildRebelButton();
    QWidget* BuildRebelPanel(QWidget* page);
    // After a move, a navigation, a set-up or a reload: a running continuous
    // analysis gets the new position (CreateRebelPGNFile).
    void RebelPositionChanged();
    void CreateRebelPGNFile();
    void GetSecondsPerMove();
    void ShowAnalysisText();
    void AddAnalysisLine(const QString& line);
    // Closing: a running analysis is stopped (without its report) and the
    // engine program ended.
    void StopRebelOnClose();
    void EndRebelInstance();

    void BuildWidgets();
    QWidget* BuildMainPage();
    QWidget* BuildTimePage();
    QWidget* BuildOptionsPage();
    QWidget* BuildNotesPage();
    QWidget* BuildBioPage();
    void BuildToolsMenu();

    void Actualizatablero();
    void updatemovelist();
    void SelectMoveLine();
    void SetDates();
    void SetTotalDates();
    void SetNotes();
    void ColourNames();
    void MarkLastMove();
    void RebuildStartPosition(chess::TChessPosition& pos) const;
    void ShowPlyFromGame(); // the position of CurrentPly, replayed from the game
    void AfterNavigation();
    void RefreshAfterRecordChange(); // fields and board from rec_, notes kept
    void EditChanged(bool nameChanged);
    void FillPlayer(bool white, const QString& name, const QString& email, const QString& country);
    void SetDateFromCalendar(bool received);
    bool AskDatePlausible(double chosen, bool received);
    void ShowMessages(const std::vector<chess::TUserMessage>& messages);
    bool SaveToFile();
    void LoadNotes();

    chess::TGameRecord rec_;
    TRebelState* rebel_ = nullptr; // the analysis state, a child object of the window
    QString fileName_;
    bool modified_ = false;
    bool loading_ = false; // fields are being filled: edits do not mark modified

    // Widgets (objectNames as the tables name them).
    TChessDiagram2D* board_ = nullptr;
    TBoardPanel* boardPanel_ = nullptr;
    QLabel* fileLabels_[8]{};
    QLabel* rankLabels_[8]{};
    QTabWidget* pages_ = nullptr;
    QToolButton *rewButton_ = nullptr, *backButton_ = nullptr, *nextButton_ = nullptr,
                *fwdButton_ = nullptr;
    QPushButton* messageButton_ = nullptr;
    QPushButton *saveButton_ = nullptr, *reloadButton_ = nullptr, *cloneButton_ = nullptr,
                *exitButton_ = nullptr, *toolsButton_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QAction *actImportClipboard_ = nullptr, *actImportFile_ = nullptr, *actExportFile_ = nullptr,
            *actExportClipboard_ = nullptr;

    QLineEdit *editEvent_, *editSite_, *editRound_, *editDate_, *editECO_;
    QComboBox* editResult_;
    QLineEdit *editWhite_, *editBlack_, *editWhiteAddress_, *editBlackAddress_;
    QLineEdit *editWhiteElo_, *editBlackElo_, *editWhiteCountry_, *editBlackCountry_;
    QPushButton *findAddress1_, *findAddress2_;
    QListWidget* moveList_;
    QLineEdit* editIfMove_;

    QCheckBox* editSendDate_;
    QLabel *whiteCurrent_, *whiteTotal_, *blackCurrent_, *blackTotal_;
    QLabel *receivedPanel_, *repliedPanel_;
    QPushButton *receivedButton_, *repliedButton_, *receivedToday_, *repliedToday_;
    QSpinBox* editPenalization_;

    QComboBox *editLanguage_, *editNotationFormat_;
    QCheckBox *editSendDiagram_, *editSendSignature_, *editSendGameFile_;

    QPlainTextEdit* notesMemo_;

    QLabel *bioName_, *bioPhoto_;
    QLineEdit *bioAddress_, *bioCity_, *bioState_, *bioZip_, *bioCountry_;
    QPlainTextEdit* bioNotes_;
    QPushButton *bioEdit_, *bioAdd_;
    QWidget* bioPage_;
};

} // namespace quorel::ui
