#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "core/colors.h"
#include "platform/colour_profile.h"
#include "platform/picture_error.h"

// Every text a user reads, in one place and through Qt's translate(), so that the program can
// be translated and its texts reviewed together. The core and the platform report what
// happened in kinds and numbers; these word it. The sources are the program's own Traditional
// Chinese (its English captions and the front ends' help as they stand).
namespace colorsplit::texts {

// The message log.
QString FirstLogLine();
QString NoPicture();
QString Opened();
QString TooLarge();
QString Reduced(QSize original, QSize copy);
QString Picked(int n);
QString PickingDone();
QString Unpicked(int n);
QString PicksStartedOver();
QString SeedsTaken(int taken, int inFile);
QString InksLoaded(const QString& file, int inks);
QString NoColourPicked();
QString NotRun();
QString RunStarting();
QString RunSampled();
QString Iteration(int n);
QString GroupMoved(int group, TColor c);
QString RunEnded(int iterations);
QString MaskPainted();
QString Exported(const QString& folder);
QString OpenCancelled();
QString CountCancelled();
QString ExportCancelled();

// A failure, as one message naming what was being done, the file and the cause.
QString Describe(const PictureError& error);
// Why a file could not be read or written, for an errno: the one table of causes.
QString SystemCause(int code);
// The formats pictures are read in, "BMP、PNG 與 JPEG", and those a save writes.
QString ReadableFormats();
QString SavedFormats();

// Colours as the swatches, the loupe and the statistics show them.
QString Hex(TColor c);             // "#4B7AD3"
QString Channels(TColor c);        // "R 75 G 122 B 211"
QString Share(qint64 hundredths);  // "55.66"
QString GroupName(int group);      // "color1" for group 0
QString MeanName();                // 平均顏色
QString SwatchText(int row, TColor c);
QString SwatchShare(qint64 pixels, qint64 hundredths);
QString SwatchInk(const QString& ink, const QString& deltaE);  // " 油墨 Blue(ΔE 2.51)"
QString PickCursor(int x, int y, TColor c);
// What made an exported palette, for its comment line.
QString PaletteComment();
// A film's label: the picture, the group, its colour and ink if it has one,
// "photo.jpg  color1  #4B7AD3  Blue".
QString FilmLabel(const QString& picture, int group, TColor c, const QString& ink);

// The window.
QString Caption(const char* key);  // the designed captions, by control name ("Button1")
QStringList MaskItems();           // color1 ... colorN
QString MenuTitle(const char* key);
QString MenuItem(const char* key);
QString AccessibleName(const char* key);
// 匯出設定…: its title, captions and the sentence on what each setting does, by key.
QString ExportSettingText(const char* key);
QString AccessibleDescription(const char* key);
// The open file's name and the zoom it is shown at, "photo.jpg (50%) - colorsplit".
QString WindowTitle(const QString& file, const QString& zoom);
// What came of the shown picture's colour profile, "已套用色彩描述檔:Adobe RGB (1998)"; empty
// for a picture without one. Also the batch program's note on a profile passed over.
QString ProfileStatus(const ProfileUse& use);
QString OpenDialogTitle();
QString SaveDialogTitle();
// BMP, PNG, JPEG, TIFF and WebP, in that order.
QStringList SaveFilters();
// Where the window shows a save that succeeded.
QString Saved(const QString& file);
QString ExportDialogTitle();
QString SeedsDialogTitle();
QString InksDialogTitle();
QString PaletteFilter();
QString PictureFilter(const QString& patterns, const QString& bmpPatterns);
QString ReduceQuestionTitle();
QString ReduceQuestion(const QString& file, QSize original, QSize table, QSize copy);
QString ReplaceQuestion(const QString& folder, const QStringList& files);
QString EnterColourTitle();
QString StatisticsTitle();
QStringList StatisticsHeader();  // the table's columns: swatch, #RRGGBB, R, G, B, pixels, percent
QStringList InkHeader();         // and with inks: the ink, ΔE
QString StatisticsGroupColumn();
QString CopyButton();
QString PickHint();
// What a command does, for its tooltip, by its menu item's key ("open"); empty if unknown.
QString CommandTip(const char* key);
// A tooltip with the keys that run the command, "開啟圖片檔 (Ctrl+O)".
QString WithKeys(const QString& tip, const QString& keys);
// 檔案 → 最近開啟的檔案: an item, numbered from 1, and what shows when there is none.
QString RecentItem(int n, const QString& file);
QString NoRecentFiles();
// The status bar: the picture (its format, size, and the file's size when reduced), the pixel
// under the pointer with its colour, and the outcomes of drops and of keys pressed while long
// work runs.
QString PictureStatus(const QString& format, QSize shown, QSize file);
QString PointerStatus(int x, int y, TColor c);
QString DroppedOpened(const QString& file);
QString DroppedFolder(const QString& folder);
QString DroppedMany(int files);
QString WaitForWork();
QString AboutTitle();
QString About(const QString& version);

// Long work: the progress dialog's title and words, and the batch program's progress line.
QString WorkTitle(int kind);  // a LongWork::Kind
QString WorkLabel(int kind, const QString& subject);
QString Stopping();
QString BatchTitle();
QString CancelButton();

// The front ends' command lines.
QString WindowDescription();
QString WindowFileArgument();
QString HelpOption();
QString VersionOption();
QString CliUsage();
// Also the source of colorsplit-cli(1), which help2man makes from it.
QString CliHelp(QSize pickArea);

}  // namespace colorsplit::texts
