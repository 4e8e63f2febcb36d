#pragma once

#include <QImage>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "session/file_dialog.h"
#include "session/session.h"
#include "ui/swatch_panel.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QScrollArea;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace colorsplit {

class ImageControl;
class PictureView;
class RadioGroup;
class WorkRunner;

// The one window: a menu bar over the controls as designed, the message log, the swatch panel,
// and a handler per control and menu item. The handlers run the commands of Session on the
// window's state.
class TForm1 : public QMainWindow, private SessionView {
    Q_OBJECT
public:
    // Dialogs default to the real file dialogs; tests and other front ends pass their own.
    explicit TForm1(std::unique_ptr<FileDialog> openDialog = nullptr,
                    std::unique_ptr<FileDialog> saveDialog = nullptr,
                    std::unique_ptr<FileDialog> exportDialog = nullptr,
                    std::unique_ptr<FileDialog> seedsDialog = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // Opens a picture file as if it had been chosen in the open dialog (a file named on the
    // command line, dropped on the window, or chosen in 最近開啟的檔案). True when it opened.
    bool OpenFile(const QString& path);

    // The status bar's picture section carries one more short text after the picture's own
    // (empty for none).
    void SetPictureNote(const QString& note);
    // What came of something the user did, where the user looks: the status bar, for a while.
    void ShowOutcome(const QString& text);

    // Errors escaping a handler go here instead of a message box when set.
    void SetErrorReporter(std::function<void(const QString&)> reporter);
    // Long work (a reduced copy, full-size counts, an export) runs off the window's thread;
    // until it ends, the commands that would change the state do nothing.
    bool Working() const;
    // Turns the event loop until the work has ended (for tests and the screenshots).
    void WaitForWork();
    WorkRunner& Runner() const { return *runner_; }

    // The message log, one entry per line.
    QStringList LogLines() const;
    const QImage& SwatchImage() const { return swatches_.Image(); }
    // What the commands have done so far, to read.
    const QuantState& State() const { return session_.State(); }
    const Picture& ShownPicture() const { return session_.ShownPicture(); }
    const ExportSettings& Settings() const { return session_.Settings(); }
    bool HasInks() const { return !session_.Inks().Inks().empty(); }

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button7Click();
    void Image1MouseDown(int x, int y);
    void HshiftChange();
    void VshiftChange();
    // The menu's own commands.
    void ExportClick();
    // 匯出設定…: how exports are made, remembered.
    void ExportSettingsClick();
    void EnterColourClick();
    void LoadSeedsClick();
    void AutoSeedClick();
    void LoadInksClick();
    void StatisticsClick();
    void UnpickClick();
    void RepickClick();
    void AboutClick();
    // 檢視: the zoom, and the picture's groups.
    void FitClick();
    void ActualSizeClick();
    void ZoomInClick();
    void ZoomOutClick();
    void QuantisedClick(bool shown);
    // What shows the designed controls, scrolled when the window is smaller than they need.
    QScrollArea* DesignArea() const { return designArea_; }

    // The menu item that runs a command, by its text without the ellipsis and mnemonic
    // ("匯出群組"); null if there is none.
    QAction* MenuItem(const QString& text) const;

    // Controls, in their declared order.
    std::unique_ptr<FileDialog> OpenPictureDialog1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QGroupBox* GroupBox1;
    PictureView* Image1;
    QPushButton* Button4;
    std::unique_ptr<FileDialog> SaveDialog1;
    std::unique_ptr<FileDialog> ExportDialog;
    std::unique_ptr<FileDialog> SeedsDialog;
    std::unique_ptr<FileDialog> InksDialog;
    QPushButton* Button5;
    QPushButton* Button7;
    RadioGroup* RadioGroup1;
    QPlainTextEdit* Memo1;
    QGroupBox* GroupBox2;
    ImageControl* ColorInf = nullptr;
    QScrollBar* Vshift;
    QScrollBar* Hshift;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // Work that is running stops first, leaving nothing half written.
    void closeEvent(QCloseEvent* event) override;
    // Files dropped on the log, and the wheel over the picture.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A single picture file dropped on the window is opened as if chosen in the open dialog.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // SessionView
    void LogLine(const QString& text) override;
    void ShowSwatch(int row, TColor c) override;
    void ClearSwatches() override;
    void ClearSwatch(int row) override;
    void PictureChanged() override;
    bool OpenReduced(const std::string& file, QSize original, QSize reduced) override;
    bool ConfirmReplace(const std::string& folder, const std::vector<std::string>& files) override;
    std::optional<TColor> AskColour() override;
    void ShowStatistics(const std::vector<GroupStatistic>& statistics) override;

    // Every handler runs inside this: what escapes it is shown, and the window goes on with
    // whatever state the handler had reached.
    template <class Handler>
    void Guard(Handler&& handler) noexcept;
    void ShowError(const QString& message);
    // ShowError, and the opened file's name, for those that report or ask later.
    std::function<void(const QString&)> ErrorBox();
    std::function<std::string()> OpenedFile() const;
    // ColorInf shows the swatch panel as it now is, to the eye and to screen readers.
    void SwatchesChanged();
    // The groups' statistics again, after a command that may have grouped the picture or begun
    // a new round.
    void GroupsChanged();
    // What row n of the swatch panel shows, in words: its colour, and its group's share after
    // an execute. Empty for a blank row.
    QString SwatchText(int row) const;

    void BuildControls();
    void BuildMenus();
    // The picture, the pixel under the pointer and what came of the last action, at the bottom.
    void BuildStatusBar();
    void UpdatePictureStatus();
    void ShowPointer(std::optional<QPoint> pixel);
    // Every menu item's and button's tooltip: what it does, and its keys.
    void DescribeCommands();
    // 檔案 → 最近開啟的檔案, filled as it opens; a picture that opened goes first in it.
    void FillRecentMenu();
    void RememberOpened();
    // Keys for commands that wait while long work runs say so instead of nothing.
    bool KeyWhileWorking(QObject* watched, QEvent* event);
    // The zoom as last time, and remembering it from now on.
    void RestoreZoom();
    void RememberZoom();
    // The ink table loaded last time, if it still reads; the log says why when it does not.
    void RestoreInks();
    // Menu items that cannot do anything now are disabled, and while work runs the commands
    // that would change the state.
    void UpdateActions();
    // Runs long work, if any, then then; without work, then at once.
    void RunWork(std::shared_ptr<const LongWork> work, std::function<void()> then);
    // Opening a picture, whichever way the file was chosen: a new one starts at the designed
    // place, or fitted.
    void Opened(const Opening& opening);
    // The whole frame, title bar included, inside the screen's free area.
    void KeepInsideScreen();
    // The client size the window opens at, once the frame the window manager adds is known.
    QSize WantedSize(QSize frame) const;
    // The size, place and maximised state as the last run left them, and remembering them.
    void RestoreGeometry();
    void RememberGeometry();
    void BindEvents();
    // The designed controls at their places, the frame grown by what the window has beyond the
    // designed size and the controls right of it moved along.
    void LayOutDesign();
    // The program's name, the open file's, the zoom it is shown at and its profile.
    void UpdateTitle();
    void ShowPickHint();
    void DescribeForScreenReaders();
    // The swatch row under the pointer previews its group in the picture area.
    void PreviewSwatchRow(int y);

    // The designed controls' parent, below the menu bar, in a scroll area.
    QWidget* design_;
    QScrollArea* designArea_ = nullptr;
    // Each control's designed place, and whether it grows with the window, moves with the
    // frame's right edge, or stays.
    enum class Anchor { kStays, kGrows, kMovesRight, kMovesRightGrowsDown, kMovesDownGrowsRight };
    struct Placement {
        QWidget* control;
        QRect designed;
        Anchor anchor;
    };
    std::vector<Placement> placements_;
    // The hint on changing a pick shows once a round, where the click was.
    bool pickHintShown_ = false;
    std::optional<QPoint> pickHintAt_;
    Session session_;
    SwatchPanel swatches_;
    // Each row's statistics, as of the last command (counting them takes a scan of the table).
    std::vector<GroupStatistic> statistics_;
    std::function<void(const QString&)> errorReporter_;
    bool placed_ = false;
    // Whether the window manager's frame was known when the window was placed.
    bool framed_ = false;
    // While the window manager settles a new window, moves it makes are checked; a few, so
    // that a window manager that insists is not fought for ever.
    bool settling_ = false;
    bool sized_ = false;
    int corrections_ = 0;
    bool placing_ = false;
    // The client size the last run left, if any; else the design's.
    std::optional<QSize> restoredSize_;
    QLabel* pictureStatus_ = nullptr;
    QLabel* pointerStatus_ = nullptr;
    QString pictureNote_;
    QMenu* recentMenu_ = nullptr;
    // The commands waiting for long work to end, and what hears their keys meanwhile.
    std::vector<QAction*> waiting_;
    QObject* keysWhileWorking_ = nullptr;
    // A zoom change is remembered once the wheel has stopped turning.
    QTimer rememberZoom_;
    // Last: it stops and waits for its work before the rest of the window goes.
    WorkRunner* runner_ = nullptr;
};

}  // namespace colorsplit
