#include "ui/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QIcon>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/picture_formats.h"
#include "session/texts.h"
#include "ui/export_settings_dialog.h"
#include "ui/focus_scroll_bar.h"
#include "ui/image_control.h"
#include "ui/loupe.h"
#include "ui/message_log.h"
#include "ui/picture_view.h"
#include "ui/qt_file_dialogs.h"
#include "ui/radio_group.h"
#include "ui/recent_files.h"
#include "ui/statistics_dialog.h"
#include "ui/swatch_panel.h"
#include "ui/work_runner.h"

namespace colorsplit {

namespace {

// The design's outer size and place, in pixels.
constexpr QPoint kFormPlace(120, 99);
constexpr QSize kFormOuterSize(788, 528);
// The least that shows every designed control whole; below it the design scrolls.
constexpr QSize kDesignMinimum(740, 452);
// What a window manager's frame may take, in device pixels, before it tells: borders, and a
// title bar as tall as on a desktop scaled to 200 %.
constexpr QMargins kFrameAllowance(4, 72, 4, 8);

QFont FormFont() {
    QFont font;
    // The designed face first; where it is missing, faces that have Traditional Chinese.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Noto Sans CJK TC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("sans-serif")});
    font.setPixelSize(14);
    return font;
}

// Hands each event of the objects it is installed on to a function; true keeps the event.
class EventTap : public QObject {
public:
    EventTap(QObject* parent, std::function<bool(QObject*, QEvent*)> tap)
        : QObject(parent), tap_(std::move(tap)) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return tap_(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> tap_;
};

// What the picture's file is, from its first bytes as the readers tell formats apart; empty
// when it cannot be read.
QString FormatOf(const std::string& file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray head = in.read(64 * 1024);
    for (const PictureFormat& format : PictureFormats())
        if (format.like(head) == Likeness::kYes)
            return format.name;
    return QString();
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QRect& place) {
    auto* button = new QPushButton(texts::Caption(name), parent);
    button->setGeometry(place);
    return button;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<FileDialog> openDialog, std::unique_ptr<FileDialog> saveDialog,
               std::unique_ptr<FileDialog> exportDialog, std::unique_ptr<FileDialog> seedsDialog,
               QWidget* parent)
    : QMainWindow(parent),
      OpenPictureDialog1(openDialog ? std::move(openDialog)
                                    : MakeOpenPictureDialog(this, ErrorBox())),
      SaveDialog1(saveDialog ? std::move(saveDialog)
                             : MakeSaveDialog(this, OpenedFile(), ErrorBox())),
      ExportDialog(exportDialog ? std::move(exportDialog)
                                : MakeFolderDialog(this, OpenedFile(), ErrorBox())),
      SeedsDialog(seedsDialog ? std::move(seedsDialog)
                              : MakePaletteDialog(this, OpenedFile(), ErrorBox())),
      InksDialog(MakeInksDialog(this, OpenedFile(), ErrorBox())),
      design_(new QWidget(this)),
      session_(*this, *OpenPictureDialog1, *SaveDialog1, *ExportDialog) {
    designArea_ = new QScrollArea(this);
    designArea_->setFrameShape(QFrame::NoFrame);
    designArea_->setWidgetResizable(true);
    designArea_->setWidget(design_);
    // Not a Tab stop of its own: it scrolls to whichever control has the focus.
    designArea_->setFocusPolicy(Qt::NoFocus);
    design_->setMinimumSize(kDesignMinimum);
    setCentralWidget(designArea_);
    runner_ = new WorkRunner(this, [this](std::exception_ptr error) {
        Guard([&error] { std::rethrow_exception(error); });
    });
    // While work runs, every key of the application is heard first, for the commands that wait.
    keysWhileWorking_ = new EventTap(
        this, [this](QObject* watched, QEvent* event) { return KeyWhileWorking(watched, event); });
    connect(runner_, &WorkRunner::busyChanged, this, [this](bool busy) {
        if (busy)
            QCoreApplication::instance()->installEventFilter(keysWhileWorking_);
        else
            QCoreApplication::instance()->removeEventFilter(keysWhileWorking_);
        UpdateActions();
    });
    BuildControls();
    BuildMenus();
    BuildStatusBar();
    BindEvents();
    DescribeForScreenReaders();
    // The designed outer size holds the controls; the menu bar comes on top of it.
    move(kFormPlace);
    resize(kFormOuterSize + QSize(0, menuBar()->sizeHint().height()));
    RestoreGeometry();
    // The launcher's icon, in every size it comes in.
    QIcon icon;
    for (const int size : {48, 128, 256})
        icon.addFile(QStringLiteral(":/colorsplit/icons/%1x%1/io.github.colorsplit.Colorsplit.png")
                         .arg(size));
    setWindowIcon(icon);
    FormCreate();
    RestoreInks();
    RestoreZoom();
    // The export's settings as they were last chosen.
    session_.SetExportSettings(
        ExportSettings::FromJson(remembered::Value(remembered::kExport).toObject()));
    UpdateTitle();
    UpdateActions();
    // Last: every menu item is there by now, whoever added it.
    DescribeCommands();
}

TForm1::~TForm1() {
    runner_->StopAndWait();
    // Keys are no longer this window's to hear: its parts go one by one from here, and a key
    // handed to it in between would find only a QWidget.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(keysWhileWorking_);
    delete keysWhileWorking_;
    keysWhileWorking_ = nullptr;
    // A zoom not yet remembered is, without a word: the window is gone.
    if (rememberZoom_.isActive()) {
        errorReporter_ = [](const QString&) {};
        RememberZoom();
    }
}

void TForm1::BuildControls() {
    setFont(FormFont());
    QWidget* const form = design_;

    Button1 = MakeButton(form, "Button1", {640, 10, 92, 31});
    Button2 = MakeButton(form, "Button2", {502, 49, 92, 31});
    Button3 = MakeButton(form, "Button3", {640, 89, 92, 30});

    GroupBox1 = new QGroupBox(texts::Caption("GroupBox1"), form);
    GroupBox1->setGeometry(0, 10, 474, 395);
    Image1 = new PictureView(GroupBox1, QRect(QPoint(20, 30), kPickArea));

    Button4 = MakeButton(form, "Button4", {640, 49, 90, 31});
    Button5 = MakeButton(form, "Button5", {502, 10, 92, 31});
    Button7 = MakeButton(form, "Button7", {502, 89, 92, 30});

    RadioGroup1 = new RadioGroup(texts::Caption("RadioGroup1"), texts::MaskItems(), form);
    RadioGroup1->setGeometry(650, 128, 80, 198);

    Memo1 = new MessageLog(form);
    Memo1->setGeometry(502, 345, 228, 99);
    Memo1->setPlainText(texts::FirstLogLine());

    GroupBox2 = new QGroupBox(texts::Caption("GroupBox2"), form);
    // The designed 139 x 198 holds the panel with room for its title: a row more for each
    // colour more.
    GroupBox2->setGeometry(502, 128, 139, kSwatchPanelHeight + 26);
    ColorInf = new ImageControl(GroupBox2);
    ColorInf->setGeometry(10, 20, kSwatchPanelWidth, kSwatchPanelHeight);
    swatches_.SetDevicePixelRatio(devicePixelRatioF());
    ClearSwatches();
    // The designed place puts the first row on the frame's line under the title; the rows
    // move down just clear of it, 30 pixels apart as designed.
    ColorInf->SetOffset(QPoint(0, std::max(0, GroupBox2->contentsRect().top() - ColorInf->y())));

    Vshift = new FocusScrollBar(Qt::Vertical, form);
    Vshift->setGeometry(473, 20, 21, 385);
    Hshift = new FocusScrollBar(Qt::Horizontal, form);
    Hshift->setGeometry(10, 414, 464, 20);
    for (QScrollBar* bar : {Vshift, Hshift}) {
        bar->setRange(0, 10);
        // One step per arrow click and per click in the track.
        bar->setSingleStep(1);
        bar->setPageStep(1);
    }

    // Each control's designed place, and how it follows a larger window.
    const std::pair<QWidget*, Anchor> anchors[] = {
        {Button1, Anchor::kMovesRight},         {Button2, Anchor::kMovesRight},
        {Button3, Anchor::kMovesRight},         {GroupBox1, Anchor::kGrows},
        {Button4, Anchor::kMovesRight},         {Button5, Anchor::kMovesRight},
        {Button7, Anchor::kMovesRight},         {RadioGroup1, Anchor::kMovesRight},
        {Memo1, Anchor::kMovesRightGrowsDown},  {GroupBox2, Anchor::kMovesRight},
        {Vshift, Anchor::kMovesRightGrowsDown}, {Hshift, Anchor::kMovesDownGrowsRight},
    };
    for (const auto& [control, anchor] : anchors)
        placements_.push_back({control, control->geometry(), anchor});

    Image1->Attach(Hshift, Vshift, this);

    // The picture takes the focus where its frame stands in the design's order.
    QWidget* tabOrder[] = {Button1, Button2,     Button3, Image1,    Button4, Button5,
                           Button7, RadioGroup1, Memo1,   GroupBox2, Vshift,  Hshift};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    Image1->onPick = [this](int x, int y) { Image1MouseDown(x, y); };
    Image1->onMouseUp = [this] { ShowPickHint(); };
    Image1->onPointer = [this](std::optional<QPoint> pixel) { ShowPointer(pixel); };
    connect(Image1, &PictureView::zoomChanged, this, [this] {
        UpdateTitle();
        UpdateActions();
        rememberZoom_.start();
    });
    rememberZoom_.setSingleShot(true);
    rememberZoom_.setInterval(500);
    connect(&rememberZoom_, &QTimer::timeout, this, &TForm1::RememberZoom);
    // The swatch under the pointer shows its group at a glance.
    ColorInf->setMouseTracking(true);
    ColorInf->onMouseMove = [this](int, int y) { PreviewSwatchRow(y); };
    ColorInf->onMouseLeave = [this] { Image1->SetPreviewGroup(std::nullopt); };
    // valueChanged fires on every real change, also while the thumb is dragged.
    connect(Hshift, &QScrollBar::valueChanged, this, &TForm1::HshiftChange);
    connect(Vshift, &QScrollBar::valueChanged, this, &TForm1::VshiftChange);
}

void TForm1::BuildMenus() {
    // Each item runs exactly its button's handler, or a command of its own. The keys stand
    // beside the items; the buttons' captions stay as designed, without mnemonics.
    const struct {
        const char* menu;
        const char* item;
        QKeySequence keys;
        void (TForm1::*handler)();
    } items[] = {
        {"file", "open", QKeySequence::Open, &TForm1::Button1Click},
        {"file", "save", QKeySequence::Save, &TForm1::Button4Click},
        {"file", "export", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), &TForm1::ExportClick},
        {"file", "exportSettings", {}, &TForm1::ExportSettingsClick},
        {"file", "exit", QKeySequence(Qt::CTRL | Qt::Key_Q), &TForm1::Button3Click},
        {"colour", "execute", QKeySequence(Qt::Key_F5), &TForm1::Button2Click},
        {"colour", "mask", QKeySequence(Qt::CTRL | Qt::Key_M), &TForm1::Button7Click},
        {"colour", "mean", QKeySequence(Qt::CTRL | Qt::Key_E), &TForm1::Button5Click},
        {"colour", "enter", QKeySequence(Qt::CTRL | Qt::Key_I), &TForm1::EnterColourClick},
        {"colour", "seeds", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I),
         &TForm1::LoadSeedsClick},
        {"colour", "autoSeeds", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
         &TForm1::AutoSeedClick},
        {"colour", "inks", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), &TForm1::LoadInksClick},
        {"colour", "statistics", QKeySequence(Qt::CTRL | Qt::Key_T), &TForm1::StatisticsClick},
        {"colour", "unpick", QKeySequence(Qt::CTRL | Qt::Key_Z), &TForm1::UnpickClick},
        {"colour", "repick", QKeySequence(Qt::CTRL | Qt::Key_R), &TForm1::RepickClick},
        {"view", "loupe", QKeySequence(Qt::CTRL | Qt::Key_L), nullptr},
        {"view", "profiles", {}, nullptr},
        {"view", nullptr, {}, nullptr},
        {"view", "fit", QKeySequence(Qt::CTRL | Qt::Key_0), &TForm1::FitClick},
        {"view", "actual", QKeySequence(Qt::CTRL | Qt::Key_1), &TForm1::ActualSizeClick},
        {"view", "zoomIn", QKeySequence::ZoomIn, &TForm1::ZoomInClick},
        {"view", "zoomOut", QKeySequence::ZoomOut, &TForm1::ZoomOutClick},
        {"view", nullptr, {}, nullptr},
        {"view", "quantised", QKeySequence(Qt::CTRL | Qt::Key_G), nullptr},
        {"help", "about", QKeySequence(Qt::Key_F1), &TForm1::AboutClick},
    };
    QMenu* menu = nullptr;
    for (const auto& item : items) {
        const QString title = texts::MenuTitle(item.menu);
        if (menu == nullptr || menu->title() != title)
            menu = menuBar()->addMenu(title);
        if (item.item == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(texts::MenuItem(item.item));
        action->setObjectName(QString::fromLatin1(item.item));
        action->setShortcut(item.keys);
        if (item.handler != nullptr)
            connect(action, &QAction::triggered, this, item.handler);
    }
    // The loupe, on or off as it was last time.
    QAction* loupe = findChild<QAction*>(QStringLiteral("loupe"));
    loupe->setCheckable(true);
    loupe->setChecked(remembered::Flag(remembered::kLoupe, true));
    Image1->SetLoupeShown(loupe->isChecked());
    connect(loupe, &QAction::toggled, this, [this](bool shown) {
        Image1->SetLoupeShown(shown);
        remembered::SetFlag(remembered::kLoupe, shown, ErrorBox());
    });
    // Profiles applied or not, as last time; the picture shown stays as it was opened.
    QAction* profiles = findChild<QAction*>(QStringLiteral("profiles"));
    profiles->setCheckable(true);
    profiles->setChecked(remembered::Flag(remembered::kProfiles, true));
    session_.SetApplyProfiles(profiles->isChecked());
    connect(profiles, &QAction::toggled, this, [this](bool apply) {
        session_.SetApplyProfiles(apply);
        remembered::SetFlag(remembered::kProfiles, apply, ErrorBox());
    });
    // Keyboards where + needs Shift have = on the same key.
    findChild<QAction*>(QStringLiteral("zoomIn"))
        ->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction* quantised = findChild<QAction*>(QStringLiteral("quantised"));
    quantised->setCheckable(true);
    connect(quantised, &QAction::toggled, this, &TForm1::QuantisedClick);
    // 檔案 → 最近開啟的檔案, below 開啟檔案….
    QAction* save = findChild<QAction*>(QStringLiteral("save"));
    recentMenu_ = new QMenu(texts::MenuItem("recent"), this);
    recentMenu_->menuAction()->setObjectName(QStringLiteral("recent"));
    recentMenu_->setToolTipsVisible(true);
    qobject_cast<QMenu*>(save->parent())->insertMenu(save, recentMenu_);
    connect(recentMenu_, &QMenu::aboutToShow, this, &TForm1::FillRecentMenu);
}

void TForm1::FillRecentMenu() {
    recentMenu_->clear();
    const QStringList files = recent::Files();
    if (files.isEmpty())
        recentMenu_->addAction(texts::NoRecentFiles())->setEnabled(false);
    for (int i = 0; i < files.size(); ++i) {
        QAction* item = recentMenu_->addAction(texts::RecentItem(i + 1, files[i]));
        item->setToolTip(files[i]);
        connect(item, &QAction::triggered, this, [this, file = files[i]] {
            if (Working())
                ShowOutcome(texts::WaitForWork());
            else
                OpenFile(file);
        });
    }
}

void TForm1::RememberOpened() {
    if (session_.HasPicture())
        recent::Opened(QString::fromStdString(State().OpenFileName), ErrorBox());
}

void TForm1::DescribeCommands() {
    for (QAction* title : menuBar()->actions()) {
        QMenu* menu = title->menu();
        menu->setToolTipsVisible(true);
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            QStringList keys;
            for (const QKeySequence& key : action->shortcuts())
                keys << key.toString(QKeySequence::NativeText);
            QString tip = texts::CommandTip(action->objectName().toLatin1().constData());
            if (tip.isEmpty())
                tip = action->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|…")));
            action->setToolTip(texts::WithKeys(tip, keys.join(QStringLiteral(", "))));
        }
    }
    // A button says what its menu item says.
    const std::pair<QPushButton*, const char*> buttons[] = {
        {Button1, "open"}, {Button2, "execute"}, {Button3, "exit"},
        {Button4, "save"}, {Button5, "mean"},    {Button7, "mask"},
    };
    for (const auto& [button, item] : buttons)
        button->setToolTip(findChild<QAction*>(QString::fromLatin1(item))->toolTip());
}

void TForm1::BuildStatusBar() {
    // The message of the moment on the left; the pointer and the picture stay on the right.
    pointerStatus_ = new QLabel(statusBar());
    pointerStatus_->setObjectName(QStringLiteral("pointerStatus"));
    pictureStatus_ = new QLabel(statusBar());
    pictureStatus_->setObjectName(QStringLiteral("pictureStatus"));
    statusBar()->addPermanentWidget(pointerStatus_);
    statusBar()->addPermanentWidget(pictureStatus_);
    statusBar()->setSizeGripEnabled(true);
}

void TForm1::UpdatePictureStatus() {
    if (!session_.HasPicture()) {
        pictureStatus_->setText(pictureNote_);
        return;
    }
    QString text = texts::PictureStatus(FormatOf(State().OpenFileName),
                                        ShownPicture().Image().size(), session_.FileSize());
    if (!pictureNote_.isEmpty())
        text += QStringLiteral(" · ") + pictureNote_;
    pictureStatus_->setText(text);
}

void TForm1::SetPictureNote(const QString& note) {
    pictureNote_ = note;
    UpdatePictureStatus();
}

void TForm1::ShowOutcome(const QString& text) {
    statusBar()->showMessage(text, 15000);
}

void TForm1::ShowPointer(std::optional<QPoint> pixel) {
    if (!pixel) {
        pointerStatus_->clear();
        return;
    }
    const TColor c = ShownPicture().GetPixel(pixel->x(), pixel->y());
    pointerStatus_->setText(texts::PointerStatus(pixel->x(), pixel->y(), c));
}

bool TForm1::KeyWhileWorking(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !Working())
        return false;
    // Keys for this window or its progress dialog, not another window's.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || (widget->window() != this && widget->window()->parentWidget() != this))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    bool waits = widget == Image1 && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return ||
                                      key->key() == Qt::Key_Enter);
    for (const QAction* action : waiting_)
        for (const QKeySequence& keys : action->shortcuts())
            waits = waits || keys.matches(pressed) == QKeySequence::ExactMatch;
    if (!waits)
        return false;
    ShowOutcome(texts::WaitForWork());
    return true;
}

void TForm1::RestoreZoom() {
    const QJsonValue zoom = remembered::Value(remembered::kZoom);
    if (zoom.toString() == QLatin1String("fit")) {
        Image1->Fit();
        return;
    }
    // Only a step: anything else in the file is not a zoom this program chose.
    for (const double step : kZoomSteps)
        if (step != 1 && std::abs(zoom.toDouble() - step) < 1e-9)
            Image1->SetZoom(step);
}

void TForm1::RememberZoom() {
    rememberZoom_.stop();
    remembered::SetValue(
        remembered::kZoom,
        Image1->Fitting() ? QJsonValue(QStringLiteral("fit")) : QJsonValue(Image1->Zoom()),
        ErrorBox());
}

void TForm1::RestoreInks() {
    const QString file = remembered::Value(remembered::kInks).toString();
    if (file.isEmpty())
        return;
    // Quietly: the log starts as designed, and a table on a disk not mounted now is no reason
    // for a message box at every start; the statistics then show no inks.
    try {
        session_.LoadInks(file.toStdString(), false);
    } catch (const PictureError&) {
    }
}

void TForm1::UpdateActions() {
    const auto enable = [this](const char* name, bool enabled) {
        findChild<QAction*>(QString::fromLatin1(name))->setEnabled(enabled);
    };
    const bool grouped = session_.HasGroups();
    const bool free = !Working();
    // While work runs, what would change the state waits; the exit stops the work.
    waiting_.clear();
    const auto waits = [this, free](const char* name, bool can) {
        QAction* action = findChild<QAction*>(QString::fromLatin1(name));
        action->setEnabled(can && free);
        if (can && !free)
            waiting_.push_back(action);
    };
    waits("unpick", State().ColorCount > State().PicksAtRun);
    waits("export", grouped);
    waits("statistics", grouped);
    enable("quantised", grouped);
    for (const char* name : {"open", "save", "execute", "mask", "mean", "enter", "seeds", "repick",
                             "autoSeeds", "inks", "exportSettings"})
        waits(name, true);
    for (QPushButton* button : {Button1, Button2, Button4, Button5, Button7})
        button->setEnabled(free);
    enable("zoomIn", Image1->Zoom() < std::end(kZoomSteps)[-1] - 1e-9);
    enable("zoomOut", Image1->Zoom() > kZoomSteps[0] + 1e-9);
}

QAction* TForm1::MenuItem(const QString& text) const {
    for (QAction* menu : menuBar()->actions()) {
        for (QAction* action : menu->menu()->actions()) {
            QString plain = action->text();
            plain.remove(QRegularExpression(QStringLiteral("\\(&.\\)|…")));
            if (plain == text)
                return action;
        }
    }
    return nullptr;
}

void TForm1::BindEvents() {
    setAcceptDrops(true);
    // The log is a text box: left alone it would paste a dropped file's address as text.
    Memo1->viewport()->installEventFilter(this);
    // Each swatch's tooltip.
    ColorInf->installEventFilter(this);
    design_->installEventFilter(this);
}

void TForm1::LayOutDesign() {
    const QSize more(std::max(0, design_->width() - kFormOuterSize.width()),
                     std::max(0, design_->height() - kFormOuterSize.height()));
    for (const Placement& p : placements_) {
        QRect r = p.designed;
        switch (p.anchor) {
            case Anchor::kStays:
                break;
            case Anchor::kGrows:
                r.setSize(r.size() + more);
                break;
            case Anchor::kMovesRight:
                r.translate(more.width(), 0);
                break;
            case Anchor::kMovesRightGrowsDown:
                r.translate(more.width(), 0);
                r.setHeight(r.height() + more.height());
                break;
            case Anchor::kMovesDownGrowsRight:
                r.translate(0, more.height());
                r.setWidth(r.width() + more.width());
                break;
        }
        p.control->setGeometry(r);
    }
}

void TForm1::UpdateTitle() {
    const QString file = QFileInfo(QString::fromStdString(State().OpenFileName)).fileName();
    setWindowTitle(texts::WindowTitle(file, ZoomPercent(Image1->Zoom())));
    // What came of the picture's colour profile, beside its size in the status bar.
    SetPictureNote(session_.HasPicture() ? texts::ProfileStatus(session_.PictureProfile())
                                         : QString());
}

void TForm1::DescribeForScreenReaders() {
    Image1->setAccessibleName(texts::AccessibleName("Image1"));
    Image1->setAccessibleDescription(texts::AccessibleDescription("Image1"));
    ColorInf->setAccessibleName(texts::AccessibleName("ColorInf"));
    Memo1->setAccessibleName(texts::AccessibleName("Memo1"));
    Memo1->setAccessibleDescription(texts::AccessibleDescription("Memo1"));
    Vshift->setAccessibleName(texts::AccessibleName("Vshift"));
    Hshift->setAccessibleName(texts::AccessibleName("Hshift"));
}

namespace {

// The local files and folders a drag carries; none when it carries anything else.
QStringList LocalFiles(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    // Folders and several files are taken too, to say why they do not open.
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    if (Working())
        ShowOutcome(texts::WaitForWork());
    else if (paths.size() > 1)
        ShowOutcome(texts::DroppedMany(static_cast<int>(paths.size())));
    else if (QFileInfo(paths.front()).isDir())
        ShowOutcome(texts::DroppedFolder(paths.front()));
    else if (OpenFile(paths.front()))
        ShowOutcome(texts::DroppedOpened(paths.front()));
}

bool TForm1::OpenFile(const QString& path) {
    bool opened = false;
    Guard([this, &path, &opened] {
        // The mask reloads from this name whatever the working folder is by then.
        const std::string name = QFileInfo(path).absoluteFilePath().toStdString();
        // The open dialog starts here next time, as if the file had been chosen in it.
        OpenPictureDialog1->Choose(name);
        const Opening opening = session_.OpenFile(name);
        opened = opening.result == Opening::kOpened || opening.result == Opening::kReduced;
        Opened(opening);
    });
    GroupsChanged();
    return opened;
}

bool TForm1::Working() const {
    return runner_->Busy();
}

void TForm1::WaitForWork() {
    while (Working())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
}

void TForm1::RunWork(std::shared_ptr<const LongWork> work, std::function<void()> then) {
    if (!work) {
        if (then)
            then();
        return;
    }
    runner_->Start(std::move(work), std::move(then));
}

void TForm1::closeEvent(QCloseEvent* event) {
    runner_->StopAndWait();
    RememberGeometry();
    QMainWindow::closeEvent(event);
}

void TForm1::Opened(const Opening& opening) {
    const auto place = [this] {
        const QSignalBlocker quietAcross(Hshift), quietDown(Vshift);
        Image1->PlaceNewPicture();
    };
    if (opening.result == Opening::kOpened) {
        place();
        RememberOpened();
    }
    // A reduced copy shows once it is made.
    if (opening.work)
        RunWork(opening.work, [this, place] {
            place();
            GroupsChanged();
            RememberOpened();
        });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            if (watched != Memo1->viewport())
                break;
            auto* drop = static_cast<QDropEvent*>(event);
            // Text still drops into the log as into any text box.
            if (LocalFiles(drop->mimeData()).isEmpty())
                break;
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop)
                dropEvent(drop);
            return true;
        }
        case QEvent::Resize:
            if (watched == design_)
                LayOutDesign();
            break;
        case QEvent::ToolTip: {
            if (watched != ColorInf)
                break;
            // The row under the pointer: 30 pixels a row, from where the panel is drawn.
            const auto* help = static_cast<QHelpEvent*>(event);
            const int y = help->pos().y() - ColorInf->Offset().y();
            const QString text = y >= 0 ? SwatchText(y / 30) : QString();
            if (text.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), text, ColorInf);
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    // Sharp swatches on whatever screen shows the window, also after a move to another.
    const auto followScreen = [this] {
        swatches_.SetDevicePixelRatio(devicePixelRatioF());
        SwatchesChanged();
    };
    followScreen();
    if (QWindow* window = windowHandle())
        connect(window, &QWindow::screenChanged, this, followScreen);
    settling_ = true;
    KeepInsideScreen();
    // A window manager tells the frame it adds only once it has framed the window, and no
    // event says when; and it may apply an earlier request after a later one. Look a few times.
    for (const int ms : {50, 150, 300, 600, 1200, 2000})
        QTimer::singleShot(ms, this, [this] { KeepInsideScreen(); });
    QTimer::singleShot(2500, this, [this] { settling_ = false; });
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (settling_)
        KeepInsideScreen();
}

QSize TForm1::WantedSize(QSize frame) const {
    if (restoredSize_)
        return *restoredSize_;
    // The design gives the outer size, the frame the window manager adds included.
    return kFormOuterSize + QSize(0, menuBar()->sizeHint().height()) - frame;
}

void TForm1::KeepInsideScreen() {
    const QScreen* shown = screen();
    if (placing_ || shown == nullptr || corrections_ >= 12 ||
        (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QScopedValueRollback<bool> once(placing_, true);
    const QRect outer = frameGeometry(), inner = geometry();
    const bool known = outer.isValid() && outer != inner && outer.contains(inner);
    // The size is chosen when the window is first placed and when its frame becomes known,
    // in one request: a window manager may apply an earlier one after a later. Until it has
    // settled, a window grown past the screen all the same is made to fit again; after that
    // only the place is kept, and a size the user chooses stays.
    bool sizing = !sized_ || settling_;
    sized_ = true;
    QSize wanted = size();
    if (known && !framed_) {
        framed_ = true;
        sizing = true;
        wanted = WantedSize(outer.size() - inner.size());
    }
    // Until the frame is known, room for one round the window, as window managers draw them:
    // the place asked for is then the window's own, and one as tall as the screen would have
    // its title bar above the top. A place the last run left had its frame inside already.
    const qreal ratio = devicePixelRatioF();
    const auto logical = [ratio](int device) {
        return static_cast<int>(std::ceil(device / ratio));
    };
    QMargins frame;
    if (known)
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    else if (!restoredSize_)
        frame = QMargins(logical(kFrameAllowance.left()), logical(kFrameAllowance.top()),
                         logical(kFrameAllowance.right()), logical(kFrameAllowance.bottom()));
    const QSize room(frame.left() + frame.right(), frame.top() + frame.bottom());
    // Inside the screen's free area, however small the screen: the design scrolls then.
    const QRect free = shown->availableGeometry();
    if (const QSize fits = wanted.boundedTo(free.size() - room); sizing && fits != size()) {
        ++corrections_;
        resize(fits);
    }
    const QRect now = geometry().marginsAdded(frame);
    const QPoint to(
        std::clamp(now.x(), free.left(), std::max(free.left(), free.right() + 1 - now.width())),
        std::clamp(now.y(), free.top(), std::max(free.top(), free.bottom() + 1 - now.height())));
    if (to != now.topLeft()) {
        ++corrections_;
        // A known frame is placed by its corner; else the window by its own.
        move(known ? to : to + QPoint(frame.left(), frame.top()));
    }
}

void TForm1::RestoreGeometry() {
    const QJsonObject last = remembered::Value(remembered::kWindow).toObject();
    const QRect place(
        last.value(QLatin1String("x")).toInt(), last.value(QLatin1String("y")).toInt(),
        last.value(QLatin1String("width")).toInt(), last.value(QLatin1String("height")).toInt());
    // Smaller than the design's least, it is not a size this program left.
    if (place.width() < kDesignMinimum.width() / 2 || place.height() < kDesignMinimum.height() / 2)
        return;
    restoredSize_ = place.size();
    setGeometry(place);
    if (last.value(QLatin1String("maximized")).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm1::RememberGeometry() {
    if (!placed_)
        return;
    // The place it goes back to when no longer maximised.
    const QRect place = isMaximized() ? normalGeometry() : geometry();
    remembered::SetValue(remembered::kWindow,
                         QJsonObject{{QLatin1String("x"), place.x()},
                                     {QLatin1String("y"), place.y()},
                                     {QLatin1String("width"), place.width()},
                                     {QLatin1String("height"), place.height()},
                                     {QLatin1String("maximized"), isMaximized()}},
                         ErrorBox());
}

std::function<void(const QString&)> TForm1::ErrorBox() {
    return [this](const QString& message) { ShowError(message); };
}

std::function<std::string()> TForm1::OpenedFile() const {
    return [this] { return State().OpenFileName; };
}

void TForm1::SetErrorReporter(std::function<void(const QString&)> reporter) {
    errorReporter_ = std::move(reporter);
}

QStringList TForm1::LogLines() const {
    QStringList lines;
    for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

template <class Handler>
void TForm1::Guard(Handler&& handler) noexcept {
    try {
        handler();
    } catch (const PictureError& e) {
        ShowError(texts::Describe(e));
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QString());
    }
    UpdateActions();
}

void TForm1::GroupsChanged() {
    Guard([this] {
        statistics_ = session_.GroupStatistics();
        SwatchesChanged();
        // The split as a whole, for the picture as shown; nothing to show in a new round.
        GroupedPicture shown = session_.ShownGrouping();
        if (shown.groups.empty()) {
            findChild<QAction*>(QStringLiteral("quantised"))->setChecked(false);
            Image1->SetGrouping(QImage(), QImage(), {});
        } else {
            const QImage quantised = QuantisedPicture(shown);
            Image1->SetGrouping(shown.picture, quantised, std::move(shown.groups));
        }
    });
    UpdateTitle();
    UpdatePictureStatus();
}

void TForm1::ShowError(const QString& message) {
    ShowOutcome(message);
    if (errorReporter_) {
        errorReporter_(message);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("colorsplit"), message);
}

void TForm1::FormCreate() {
    Guard([this] {
        session_.FormCreate();
        RadioGroup1->SetItemIndex(0);
        // No real change, so the picture stays at its designed place.
        Vshift->setValue(0);
        Hshift->setValue(0);
    });
}

void TForm1::Button1Click() {
    if (Working())
        return;
    Guard([this] { Opened(session_.Button1Click()); });
    GroupsChanged();
}

void TForm1::Button2Click() {
    if (Working())
        return;
    Guard([this] { session_.Button2Click(); });
    GroupsChanged();
    // A reduced copy's groups counted at full size, for the swatches and 群組統計.
    Guard([this] { RunWork(session_.CountFullSize(), [this] { GroupsChanged(); }); });
}

void TForm1::Button3Click() {
    Guard([this] { close(); });
}

void TForm1::Button4Click() {
    if (!Working())
        Guard([this] {
            // Said where the eye is; the log keeps its designed lines.
            if (const std::optional<std::string> saved = session_.Button4Click())
                ShowOutcome(texts::Saved(QString::fromStdString(*saved)));
        });
}

void TForm1::Button5Click() {
    if (!Working())
        Guard([this] { session_.Button5Click(); });
}

void TForm1::Button7Click() {
    if (!Working())
        Guard([this] { session_.Button7Click(RadioGroup1->ItemIndex()); });
}

void TForm1::Image1MouseDown(int x, int y) {
    if (Working()) {
        ShowOutcome(texts::WaitForWork());
        return;
    }
    const bool onPicture = ShownPicture().Image().valid(x, y);
    const bool full = onPicture && State().ColorCount >= kMaxColors;
    Image1->Clicked(x, y);
    Guard([this, x, y] { session_.Image1MouseDown(x, y); });
    // Once a round, how to change a pick when all four are taken: as the button comes up
    // after a click (a tooltip goes at a button's release), at once after a key.
    if (full && !pickHintShown_) {
        pickHintShown_ = true;
        pickHintAt_ = QPoint(x, y);
        if (QApplication::mouseButtons() == Qt::NoButton)
            ShowPickHint();
    }
}

void TForm1::ShowPickHint() {
    if (!pickHintAt_)
        return;
    QToolTip::showText(Image1->mapToGlobal(Image1->ShownRect(*pickHintAt_).center()),
                       texts::PickHint(), Image1, QRect(), 10000);
    pickHintAt_.reset();
}

void TForm1::UnpickClick() {
    if (!Working())
        Guard([this] { session_.UnpickClick(); });
}

void TForm1::RepickClick() {
    if (Working())
        return;
    Guard([this] { session_.RepickClick(); });
    GroupsChanged();
}

void TForm1::ExportClick() {
    if (!Working())
        Guard([this] { RunWork(session_.ExportClick(), [this] { GroupsChanged(); }); });
}

void TForm1::ExportSettingsClick() {
    if (Working())
        return;
    ExportSettingsDialog dialog(session_.Settings(), !session_.Inks().Inks().empty(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ExportSettings settings = dialog.Settings();
    if (settings == session_.Settings())
        return;
    session_.SetExportSettings(settings);
    remembered::SetValue(remembered::kExport, settings.ToJson(), ErrorBox());
    // The split and the statistics show the groups as the export will make them.
    GroupsChanged();
}

void TForm1::EnterColourClick() {
    if (!Working())
        Guard([this] { session_.EnterColourClick(); });
}

void TForm1::LoadSeedsClick() {
    if (!Working())
        Guard([this] { session_.LoadSeedsClick(*SeedsDialog); });
}

void TForm1::AutoSeedClick() {
    if (!Working())
        Guard([this] { session_.AutoSeedClick(); });
}

void TForm1::LoadInksClick() {
    if (Working())
        return;
    Guard([this] {
        if (const std::optional<std::string> file = session_.LoadInksClick(*InksDialog))
            remembered::SetValue(remembered::kInks,
                                 QFileInfo(QString::fromStdString(*file)).absoluteFilePath(),
                                 ErrorBox());
    });
    // The groups' inks, for the tooltips.
    GroupsChanged();
}

void TForm1::StatisticsClick() {
    if (!Working())
        Guard([this] { RunWork(session_.StatisticsClick(), [this] { GroupsChanged(); }); });
}

void TForm1::AboutClick() {
    QMessageBox::about(this, texts::AboutTitle(), texts::About(QStringLiteral(COLORSPLIT_VERSION)));
}

void TForm1::FitClick() {
    Image1->Fit();
}

void TForm1::ActualSizeClick() {
    Image1->SetZoom(1);
}

void TForm1::ZoomInClick() {
    Image1->ZoomIn();
}

void TForm1::ZoomOutClick() {
    Image1->ZoomOut();
}

void TForm1::QuantisedClick(bool shown) {
    Image1->ShowQuantised(shown);
}

void TForm1::PreviewSwatchRow(int y) {
    // Rows 30 pixels apart, from where the panel is drawn; only the groups' rows have a group.
    const int row = y >= 0 ? y / 30 : -1;
    if (session_.HasGroups() && row >= 0 && row < State().GroupCount)
        Image1->SetPreviewGroup(row);
    else
        Image1->SetPreviewGroup(std::nullopt);
}

// At 100 % the design's rule: the step is computed from the control's size, not the
// picture's, and the division (truncating) comes before the multiplication, so 1575 wide
// moves 157 pixels a step. At other zooms the bars scroll the picture in the view.
void TForm1::HshiftChange() {
    Guard([this] { Image1->Shift(Qt::Horizontal); });
}

void TForm1::VshiftChange() {
    Guard([this] { Image1->Shift(Qt::Vertical); });
}

void TForm1::LogLine(const QString& text) {
    Memo1->appendPlainText(text);
}

void TForm1::ShowSwatch(int row, TColor c) {
    swatches_.Show(row, c);
    SwatchesChanged();
}

void TForm1::ClearSwatches() {
    // Outside what is drawn, the panel shows the window's own colour.
    swatches_.Clear(palette().color(QPalette::Window));
    SwatchesChanged();
    // A new round: the hint on changing picks may show again.
    pickHintShown_ = false;
}

void TForm1::ClearSwatch(int row) {
    swatches_.ClearRow(row);
    SwatchesChanged();
}

void TForm1::SwatchesChanged() {
    QStringList rows;
    for (int row = 0; row < kSwatchRows; ++row)
        if (const QString text = SwatchText(row); !text.isEmpty())
            rows << text;
    ColorInf->setAccessibleDescription(rows.join(QLatin1Char('\n')));
    ColorInf->SetImage(swatches_.Image());
}

QString TForm1::SwatchText(int row) const {
    const std::optional<TColor> shown = swatches_.Shown(row);
    if (!shown)
        return QString();
    QString text = texts::SwatchText(row, *shown);
    // The group's share, once the swatch shows a group's colour.
    if (row < static_cast<int>(statistics_.size()) && statistics_[row].colour == *shown) {
        const GroupStatistic& s = statistics_[row];
        text += texts::SwatchShare(s.pixels, s.hundredths);
        if (s.ink)
            text += texts::SwatchInk(QString::fromStdString(s.ink->name),
                                     QString::fromStdString(DeltaEText(s.ink->deltaE)));
    }
    return text;
}

bool TForm1::OpenReduced(const std::string& file, QSize original, QSize reduced) {
    return QMessageBox::question(this, texts::ReduceQuestionTitle(),
                                 texts::ReduceQuestion(QString::fromStdString(file), original,
                                                       QSize(kTableWidth, kTableHeight), reduced),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool TForm1::ConfirmReplace(const std::string& folder, const std::vector<std::string>& files) {
    QStringList names;
    for (const std::string& file : files)
        names << QString::fromStdString(file);
    // A long list would push the buttons off the screen.
    if (names.size() > 8)
        names = names.mid(0, 7) << QStringLiteral("…");
    return QMessageBox::question(this, texts::ExportDialogTitle(),
                                 texts::ReplaceQuestion(QString::fromStdString(folder), names),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<TColor> TForm1::AskColour() {
    // Qt's own dialog, with its hex field (HTML), whatever the desktop offers.
    QColorDialog dialog(Qt::white, this);
    dialog.setWindowTitle(texts::EnterColourTitle());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor c = dialog.selectedColor();
    return PackColor(c.red(), c.green(), c.blue());
}

void TForm1::ShowStatistics(const std::vector<GroupStatistic>& statistics) {
    StatisticsDialog dialog(statistics, this);
    // The selected row's group at a glance, in the picture behind the dialog.
    connect(&dialog, &StatisticsDialog::groupSelected, Image1, &PictureView::SetPreviewGroup);
    dialog.exec();
    Image1->SetPreviewGroup(std::nullopt);
}

void TForm1::PictureChanged() {
    Image1->SetPicture(ShownPicture().Image());
}

}  // namespace colorsplit
