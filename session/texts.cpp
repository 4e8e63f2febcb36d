#include "session/texts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/picture.h"
#include "platform/picture_formats.h"
#include "session/export_settings.h"

namespace colorsplit::texts {

namespace {

QString T(const char* source) {
    return QCoreApplication::translate("colorsplit", source);
}

// By key, from a table of pairs; the key itself when it is missing.
template <size_t N>
QString Lookup(const char* const (&table)[N][2], const char* key) {
    for (const auto& row : table)
        if (std::strcmp(row[0], key) == 0)
            return T(row[1]);
    return QString::fromUtf8(key);
}

QString BadSetting(int setting, const QString& value) {
    switch (static_cast<ExportSetting>(setting)) {
        case ExportSetting::kMinRegion:
            return T("最小區域 %1 不是像素數").arg(value);
        case ExportSetting::kConnectivity:
            return T("相連方式只能是 4 或 8");
        case ExportSetting::kCleanupAndDither:
            return T("清除雜點與抖動不能同時使用");
        case ExportSetting::kTrap:
            return T("補漏白 %1 太寬(最多 %2 像素)")
                .arg(value)
                .arg(ExportSettings::kMostTrapPixels);
        case ExportSetting::kDpi:
            return T("解析度 %1 dpi 不合理(%2 到 %3)")
                .arg(value)
                .arg(ExportSettings::kLeastDpi)
                .arg(ExportSettings::kMostDpi);
        case ExportSetting::kSmooth:
            return T("平滑 %1 超出範圍(0 到 %2 像素)")
                .arg(value)
                .arg(ExportSettings::kMostSmoothing);
    }
    return value;
}

QString DamageText(Damage damage) {
    switch (damage) {
        case Damage::kGeneral:
            break;
        case Damage::kCutShort:
            return T("檔案不完整,圖片資料提早結束");
        case Damage::kChecksum:
            return T("檢查碼不符");
        case Damage::kHeader:
            return T("標頭損壞");
        case Damage::kData:
            return T("圖片資料損壞");
    }
    return T("資料損壞或不完整");
}

QString VariantText(Variant variant, qint64 value) {
    switch (variant) {
        case Variant::kFloatSamples:
            return T("浮點數樣本");
        case Variant::kSignedSamples:
            return T("有號整數樣本");
        case Variant::kSubsampledYCbCr:
            return T("未以 JPEG 壓縮的次取樣 YCbCr");
        case Variant::kPhotometric:
            return T("色彩空間 %1").arg(value);
        case Variant::kBitsPerSample:
            return T("每個樣本 %1 位元").arg(value);
        case Variant::kSamplesPerPixel:
            return T("每個像素 %1 個樣本").arg(value);
        case Variant::kCompression:
            return T("壓縮方式 %1").arg(value);
        case Variant::kJpegProcess:
            return T("無失真、階層式或超過 8 位元的 JPEG");
        case Variant::kNoDecoder:
            return T("缺少這種壓縮的解碼器");
        case Variant::kLzwCodeSize:
            return T("LZW 最小碼長 %1").arg(value);
        case Variant::kOther:
            break;
    }
    return T("不支援的功能");
}

QString ProblemText(const Problem& p) {
    switch (p.kind) {
        case Problem::kMissing:
            return T("檔案不存在");
        case Problem::kFolderNotPicture:
            return T("這是資料夾,不是圖片檔");
        case Problem::kNoReadPermission:
            return T("沒有讀取權限");
        case Problem::kCannotRead:
            return T("無法讀取檔案(%1)").arg(SystemCause(p.code));
        case Problem::kFileTooLarge:
            return T("檔案太大");
        case Problem::kNotAPicture:
            return T("不是可讀取的圖片(可開啟的圖片是 %1)").arg(ReadableFormats());
        case Problem::kUnsupportedFormat:
            return T("不支援 %1 格式的圖片(可開啟的圖片是 %2)").arg(p.detail, ReadableFormats());
        case Problem::kPictureTooLarge:
            return T("圖片太大(%1x%2)").arg(p.a).arg(p.b);
        case Problem::kNoMemoryForPicture:
            return T("記憶體不足,無法載入圖片");
        case Problem::kInvalidSize:
            return T("圖片大小無效(%1x%2)").arg(p.a).arg(p.b);
        case Problem::kDamaged:
            return T("損壞的 %1 檔案(%2)").arg(p.detail, DamageText(static_cast<Damage>(p.a)));
        case Problem::kUnsupportedVariant:
            return T("不支援這種 %1 圖片(%2)")
                .arg(p.detail, VariantText(static_cast<Variant>(p.a), p.b));
        case Problem::kBmpHeader:
            return T("不支援的 BMP 標頭(長度 %1)").arg(p.a);
        case Problem::kBmpPlanes:
            return T("BMP 標頭無效(平面數 %1)").arg(p.a);
        case Problem::kCompression:
            return T("不支援的壓縮方式(%1)")
                .arg(p.detail.isEmpty() ? QString::number(p.a) : p.detail);
        case Problem::kDepth:
            return T("不支援的色彩深度(%1 位元)").arg(p.a);
        case Problem::kCompressionDepthMismatch:
            return T("壓縮方式與色彩深度不符");
        case Problem::kRleTopDown:
            return T("RLE 壓縮的圖片不能由上而下儲存");
        case Problem::kMaskBeyondPixel:
            return T("色彩遮罩 0x%1 超出 %2 位元的像素").arg(p.a, 0, 16).arg(p.b);
        case Problem::kMaskGaps:
            return T("色彩遮罩 0x%1 的位元不連續").arg(p.a, 0, 16);
        case Problem::kDataPastEnd:
            return T("圖片資料的位置超出檔案結尾");
        case Problem::kDataOffsetInvalid:
            return T("圖片資料的位置無效");
        case Problem::kEmptyPalette:
            return T("調色盤是空的");
        case Problem::kIndexOutsidePalette:
            return T("色盤索引超出色盤範圍");
        case Problem::kRleOutside:
            return T("RLE 壓縮資料超出圖片範圍");
        case Problem::kRleEarly:
            return T("RLE 壓縮資料提早結束");
        case Problem::kTruncated:
            return T("檔案不完整(圖片資料被截斷)");
        case Problem::kTooLargeToReduce:
            return T("圖片太大(%1 x %2),最多可縮小開啟 %3 像素").arg(p.a).arg(p.b).arg(p.detail);
        case Problem::kLargerThanTable:
            return T("圖片是 %1 x %2,超過 %3 x %4(--fit 可開啟縮小的複本)")
                .arg(p.a)
                .arg(p.b)
                .arg(kTableWidth)
                .arg(kTableHeight);
        case Problem::kPaletteLine:
            return T("第%1行不是顏色(GIMP 調色盤的 R G B,或 RRGGBB)").arg(p.a);
        case Problem::kPaletteValue:
            return T("第%1行的值 %2 超過 255").arg(p.a).arg(p.b);
        case Problem::kNothingToSave:
            return T("沒有可儲存的圖片");
        case Problem::kFormatNotWritten:
            return T("無法儲存為 %1 圖片(可儲存為 %2)").arg(p.detail, SavedFormats());
        case Problem::kNotGrouped:
            return NotRun();
        case Problem::kCannotMakeFolder:
            return T("無法建立資料夾");
        case Problem::kIsFolder:
            return T("這是資料夾");
        case Problem::kReadOnlyFile:
            return T("檔案是唯讀的");
        case Problem::kFolderMissing:
            return T("資料夾不存在");
        case Problem::kReadOnlyFolder:
            return T("資料夾是唯讀的");
        case Problem::kCannotWrite:
            return T("無法寫入(%1)").arg(SystemCause(p.code));
        case Problem::kNoMemory:
            return SystemCause(ENOMEM);
        case Problem::kNothingToExport:
            return T("沒有可匯出的圖片");
        case Problem::kBadSetting:
            return BadSetting(static_cast<int>(p.a), p.detail);
    }
    return QString();
}

}  // namespace

QString FirstLogLine() {
    return T("程式資訊");
}
QString NoPicture() {
    return T("尚未載入檔案");
}
QString Opened() {
    return T("開檔完成,請選擇四種顏色");
}
QString TooLarge() {
    return T("圖片超過1280x960,無法載入");
}
QString Reduced(QSize original, QSize copy) {
    return T("原圖%1x%2,已縮小為%3x%4")
        .arg(original.width())
        .arg(original.height())
        .arg(copy.width())
        .arg(copy.height());
}
QString Picked(int n) {
    return T("選擇顏色%1").arg(n);
}
QString PickingDone() {
    return T("選擇顏色完成");
}
QString Unpicked(int n) {
    return T("取消選擇顏色%1").arg(n);
}
QString PicksStartedOver() {
    return T("請重新選擇四種顏色");
}
QString SeedsTaken(int taken, int inFile) {
    return T("從調色盤取用%1種顏色,共%2種").arg(taken).arg(inFile);
}
QString InksLoaded(const QString& file, int inks) {
    return T("載入油墨色表%1,共%2種油墨").arg(file).arg(inks);
}
QString NoColourPicked() {
    return T("尚未選擇顏色");
}
QString NotRun() {
    return T("尚未執行運算");
}
QString RunStarting() {
    return T("初始化運算開始");
}
QString RunSampled() {
    return T("初始化完成,VQ運算開始");
}
QString Iteration(int n) {
    return T("***********運算執行第%1回********").arg(n);
}
QString GroupMoved(int group, TColor c) {
    return T("代表顏色%1值為%2").arg(group + 1).arg(c);
}
QString RunEnded(int iterations) {
    return T("運算完成,請執行Mask,共計執行%1回").arg(iterations);
}
QString MaskPainted() {
    return T("處理完成");
}
QString Exported(const QString& folder) {
    return T("匯出完成,檔案存於%1").arg(folder);
}
QString OpenCancelled() {
    return T("已取消開檔");
}
QString CountCancelled() {
    return T("已取消統計");
}
QString ExportCancelled() {
    return T("已取消匯出");
}

QString WorkTitle(int kind) {
    static const char* const titles[] = {"開啟圖片", "統計像素", "匯出群組"};
    return T(titles[kind]);
}
QString WorkLabel(int kind, const QString& subject) {
    static const char* const labels[] = {"正在縮小「%1」…", "正在統計「%1」原圖的像素…",
                                         "正在匯出到「%1」…"};
    return T(labels[kind]).arg(subject);
}
QString BatchTitle() {
    return T("批次處理");
}
QString Stopping() {
    return T("正在取消…");
}
QString CancelButton() {
    return T("取消");
}

QString Describe(const PictureError& error) {
    static const char* const actions[] = {"無法開啟",         "無法儲存",        "無法匯出",
                                          "無法寫入摘要檔",   "無法記住設定",    "無法載入種子顏色",
                                          "無法寫入批次結果", "無法載入油墨色表"};
    QString text = T(actions[static_cast<int>(error.WhatFor())]);
    if (!error.File().empty())
        text += T("「%1」").arg(QString::fromStdString(error.File()));
    text += QLatin1Char(':') + ProblemText(error.Cause());
    if (!error.NotWritten().empty()) {
        QStringList names;
        for (const std::string& name : error.NotWritten())
            names << QString::fromStdString(name);
        text += T("(未寫入:%1)").arg(names.join(T("、")));
    }
    return text;
}

QString SystemCause(int code) {
    switch (code) {
        case ENOSPC:
            return T("磁碟空間不足");
        case EDQUOT:
            return T("超過磁碟配額");
        case EFBIG:
            return T("檔案超過允許的大小");
        case EROFS:
            return T("唯讀的檔案系統");
        case EACCES:
        case EPERM:
            return T("沒有權限");
        case EIO:
            return T("裝置讀寫錯誤");
        case ENOENT:
            return T("檔案或資料夾不存在");
        case ENOTDIR:
            return T("路徑中有一段不是資料夾");
        case EISDIR:
            return T("這是資料夾");
        case ENAMETOOLONG:
            return T("名稱太長");
        case EMFILE:
        case ENFILE:
            return T("開啟的檔案太多");
        case ENOMEM:
            return T("記憶體不足");
        case EBUSY:
        case ETXTBSY:
            return T("檔案正在使用中");
        case ELOOP:
            return T("連結太多層");
        default:
            return T("系統錯誤 %1").arg(code);
    }
}

namespace {

QString List(QStringList names) {
    const QString last = names.takeLast();
    return names.isEmpty() ? last : T("%1 與 %2").arg(names.join(T("、")), last);
}

}  // namespace

QString ReadableFormats() {
    QStringList names;
    for (const PictureFormat& format : PictureFormats())
        names << format.name;
    return List(names);
}

QString SavedFormats() {
    return List(Picture::SaveFormatNames());
}

QString Hex(TColor c) {
    return QStringLiteral("#%1%2%3")
        .arg(RedOf(c), 2, 16, QLatin1Char('0'))
        .arg(GreenOf(c), 2, 16, QLatin1Char('0'))
        .arg(BlueOf(c), 2, 16, QLatin1Char('0'))
        .toUpper();
}
QString Channels(TColor c) {
    return T("R %1 G %2 B %3").arg(RedOf(c)).arg(GreenOf(c)).arg(BlueOf(c));
}
QString Share(qint64 hundredths) {
    return QStringLiteral("%1.%2")
        .arg(hundredths / 100)
        .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}
QString GroupName(int group) {
    return T("color%1").arg(group + 1);
}
QString MeanName() {
    return T("平均顏色");
}
QString SwatchText(int row, TColor c) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(row < kMeanRow ? GroupName(row) : MeanName(), QString::number(c), Hex(c), Channels(c));
}
QString SwatchShare(qint64 pixels, qint64 hundredths) {
    return T(" 像素 %1(%2%)").arg(pixels).arg(Share(hundredths));
}
QString SwatchInk(const QString& ink, const QString& deltaE) {
    return T(" 油墨 %1(ΔE %2)").arg(ink, deltaE);
}
QString FilmLabel(const QString& picture, int group, TColor c, const QString& ink) {
    const QString label = T("%1  %2  %3").arg(picture, GroupName(group), Hex(c));
    return ink.isEmpty() ? label : label + QStringLiteral("  ") + ink;
}
QString PaletteComment() {
    return T("colorsplit %1 分出的群組顏色").arg(QStringLiteral(COLORSPLIT_VERSION));
}
QString PickCursor(int x, int y, TColor c) {
    return T("游標 %1, %2:%3 %4").arg(x).arg(y).arg(Hex(c), Channels(c));
}

QString Caption(const char* key) {
    static const char* const captions[][2] = {
        {"Button1", "開啟檔案"}, {"Button2", "執行"},           {"Button3", "離開"},
        {"GroupBox1", "圖片"},   {"Button4", "儲存檔案"},       {"Button5", "平均顏色"},
        {"Button7", "MASK"},     {"RadioGroup1", "Mask Color"}, {"GroupBox2", "選擇之顏色"},
    };
    return Lookup(captions, key);
}
QStringList MaskItems() {
    QStringList items;
    for (int g = 0; g < kMaxColors; ++g)
        items << GroupName(g);
    return items;
}
QString MenuTitle(const char* key) {
    static const char* const titles[][2] = {
        {"file", "檔案(&F)"}, {"colour", "顏色(&C)"}, {"view", "檢視(&V)"}, {"help", "說明(&H)"}};
    return Lookup(titles, key);
}
QString MenuItem(const char* key) {
    static const char* const items[][2] = {
        {"open", "開啟檔案(&O)…"},
        {"save", "儲存檔案(&S)…"},
        {"export", "匯出群組(&X)…"},
        {"exit", "離開(&Q)"},
        {"exportSettings", "匯出設定(&E)…"},
        {"recent", "最近開啟的檔案(&R)"},
        {"execute", "執行(&R)"},
        {"mask", "MASK(&M)"},
        {"mean", "平均顏色(&A)"},
        {"enter", "輸入顏色(&I)…"},
        {"statistics", "群組統計(&T)…"},
        {"unpick", "復原選色(&U)"},
        {"seeds", "載入種子顏色(&S)…"},
        {"repick", "重新選色(&P)"},
        {"autoSeeds", "自動選色(&O)"},
        {"inks", "載入油墨色表(&K)…"},
        {"loupe", "放大鏡(&L)"},
        {"fit", "符合視窗(&F)"},
        {"actual", "實際大小(&A)"},
        {"zoomIn", "放大(&I)"},
        {"zoomOut", "縮小(&O)"},
        {"quantised", "顯示分群結果(&G)"},
        {"about", "關於 colorsplit(&A)"},
        {"profiles", "套用色彩描述檔(&P)"},
    };
    return Lookup(items, key);
}
QString ExportSettingText(const char* key) {
    static const char* const texts[][2] = {
        {"title", "匯出設定"},
        {"cleanup", "清除雜點"},
        {"minRegion", "最小區域"},
        {"connectivity", "相連方式"},
        {"connect4", "4 鄰(上下左右)"},
        {"connect8", "8 鄰(含斜角)"},
        {"off", "不清除"},
        {"pixels", " 像素"},
        {"cleanupSentence", "小於這個像素數的色塊,併入與它邊界最長的相鄰群組;0 為不清除。"},
        {"dither", "抖動"},
        {"ditherBox", "以誤差擴散分配群組"},
        {"ditherSentence",
         "以誤差擴散決定每個像素的群組,以網點疏密印出層次;不能與清除雜點同時使用。"},
        {"trap", "補漏白"},
        {"trapWidth", "寬度"},
        {"unitPixels", "像素"},
        {"unitMm", "公釐"},
        {"trapSentence", "較淺群組的底片擴張到相鄰較深的群組,套印稍偏也不露白;只影響底片。"},
        {"printSize", "列印尺寸"},
        {"byDpi", "解析度"},
        {"byWidth", "列印寬度"},
        {"mm", " 公釐"},
        {"printSizeSentence", "PNG 記錄這個尺寸;CSV 列出每個群組印出的面積(平方公分)。"},
        {"films", "底片"},
        {"marksBox", "套準標記與標籤"},
        {"pdfBox", "PDF 底片檔"},
        {"filmsSentence",
         "標記:四周留 10 公釐,加上對位與裁切標記及標籤。PDF:一頁彩色校樣,其後每個群組一頁底片。"},
        {"vectors", "向量圖"},
        {"svgBox", "匯出 SVG"},
        {"smooth", "平滑"},
        {"vectorsSentence",
         "每個群組一個圖層,相鄰群組共用邊界,不留縫也不重疊;平滑為 0 時沿像素邊緣。"},
        {"inks", "油墨"},
        {"inkColoursBox", "以油墨顏色匯出"},
        {"inksSentence", "量化圖與圖層改用最接近的油墨顏色;需先載入油墨色表。"},
    };
    return Lookup(texts, key);
}
QString AccessibleName(const char* key) {
    static const char* const names[][2] = {
        {"Image1", "圖片"},         {"ColorInf", "選擇之顏色"}, {"Memo1", "訊息"},
        {"Vshift", "上下移動圖片"}, {"Hshift", "左右移動圖片"},
    };
    return Lookup(names, key);
}
QString AccessibleDescription(const char* key) {
    static const char* const descriptions[][2] = {
        {"Image1",
         "點一下圖片,或用方向鍵移動游標再按空白鍵,選擇顏色;滾輪或捲軸移動圖片,Ctrl+滾輪縮放"},
        {"Memo1", "程式執行的每一步"},
    };
    return Lookup(descriptions, key);
}
QString WindowTitle(const QString& file, const QString& zoom) {
    return file.isEmpty() ? QStringLiteral("colorsplit")
                          : T("%1 (%2) - colorsplit").arg(file, zoom);
}
QString ProfileStatus(const ProfileUse& use) {
    const QString name = use.description.isEmpty() ? T("(未命名)") : use.description;
    switch (use.kind) {
        case ProfileUse::Kind::kNone:
            break;
        case ProfileUse::Kind::kSrgb:
            return T("色彩描述檔:%1(即 sRGB,未轉換)").arg(name);
        case ProfileUse::Kind::kApplied:
            return T("已套用色彩描述檔:%1").arg(name);
        case ProfileUse::Kind::kOff:
            return T("未套用色彩描述檔:%1").arg(name);
        case ProfileUse::Kind::kBroken:
            return T("色彩描述檔損壞,未套用");
        case ProfileUse::Kind::kUnsuitable:
            return T("無法套用色彩描述檔:%1").arg(name);
    }
    return QString();
}
QString OpenDialogTitle() {
    return T("開啟");
}
QString SaveDialogTitle() {
    return T("另存新檔");
}
QStringList SaveFilters() {
    return {T("BMP 圖片 (*.bmp)"), T("PNG 圖片 (*.png)"), T("JPEG 圖片 (*.jpg *.jpeg)"),
            T("TIFF 圖片 (*.tif *.tiff)"), T("WebP 圖片 (*.webp)")};
}
QString Saved(const QString& file) {
    return T("已儲存為 %1").arg(file);
}
QString ExportDialogTitle() {
    return T("匯出群組");
}
QString SeedsDialogTitle() {
    return T("載入種子顏色");
}
QString InksDialogTitle() {
    return T("載入油墨色表");
}
QString PaletteFilter() {
    return T("調色盤 (*.gpl *.txt *.hex);;所有檔案 (*)");
}
QString PictureFilter(const QString& patterns, const QString& bmpPatterns) {
    return T("圖片 (%1);;BMP 圖片 (%2);;所有檔案 (*)").arg(patterns, bmpPatterns);
}
QString ReduceQuestionTitle() {
    return T("開啟檔案");
}
QString ReduceQuestion(const QString& file, QSize original, QSize table, QSize copy) {
    return T("「%1」是 %2 x %3 的圖片,超過 %4 x %5。\n\n"
             "要開啟縮小為 %6 x %7 的複本嗎?匯出群組時仍以原圖大小輸出。")
        .arg(QFileInfo(file).fileName())
        .arg(original.width())
        .arg(original.height())
        .arg(table.width())
        .arg(table.height())
        .arg(copy.width())
        .arg(copy.height());
}
QString ReplaceQuestion(const QString& folder, const QStringList& files) {
    return T("「%1」中已有這些檔案,要取代嗎?\n\n%2").arg(folder, files.join(QLatin1Char('\n')));
}
QString EnterColourTitle() {
    return T("輸入顏色");
}
QString StatisticsTitle() {
    return T("群組統計");
}
QStringList StatisticsHeader() {
    return {T("顏色"),           QStringLiteral("#RRGGBB"), QStringLiteral("R"),
            QStringLiteral("G"), QStringLiteral("B"),       T("像素"),
            T("百分比")};
}
QStringList InkHeader() {
    return {T("油墨"), QStringLiteral("ΔE")};
}
QString StatisticsGroupColumn() {
    return T("群組");
}
QString CopyButton() {
    return T("複製");
}
QString PickHint() {
    return T(
        "四種顏色都已選好。要改選,請用「顏色」選單的「復原選色」(Ctrl+Z)或「重新選色」(Ctrl+R)。");
}
QString CommandTip(const char* key) {
    static const char* const tips[][2] = {
        {"open", "開啟圖片檔"},
        {"save", "把顯示的圖片存成檔案"},
        {"export", "把每個群組各存成檔案,並寫出統計表與調色盤"},
        {"exit", "關閉視窗"},
        {"execute", "以選好的顏色把像素分群"},
        {"mask", "只留下所選群組的像素,其餘塗黑"},
        {"mean", "算出圖片的平均顏色"},
        {"enter", "輸入顏色數值,作為下一個選色"},
        {"seeds", "從調色盤檔依序選取顏色"},
        {"statistics", "列出每個群組的顏色、像素與比例"},
        {"unpick", "取消最後一次選色"},
        {"repick", "清除所有選色,重新選擇"},
        {"loupe", "在指標旁放大顯示像素與顏色"},
        {"fit", "把整張圖片縮放到視窗內"},
        {"actual", "以原尺寸(100%)顯示圖片"},
        {"zoomIn", "放大圖片"},
        {"zoomOut", "縮小圖片"},
        {"quantised", "以群組顏色顯示每個像素"},
        {"about", "程式的版本與授權"},
        {"recent", "再次開啟最近開啟過的圖片"},
        {"exportSettings", "匯出給印刷與割字用的設定:清除雜點、抖動、補漏白、尺寸與標記"},
        {"autoSeeds", "從圖片自動選出其餘的顏色"},
        {"inks", "載入有名稱的油墨色表,標出每個群組最接近的油墨"},
        {"profiles", "開檔時依圖片內嵌的色彩描述檔轉成 sRGB"},
    };
    for (const auto& row : tips)
        if (std::strcmp(row[0], key) == 0)
            return T(row[1]);
    return QString();
}
QString WithKeys(const QString& tip, const QString& keys) {
    return keys.isEmpty() ? tip : T("%1 (%2)").arg(tip, keys);
}
QString RecentItem(int n, const QString& file) {
    // The number is the item's key: 1 to 9, then 0 for the tenth.
    return QStringLiteral("&%1 %2").arg(n % 10).arg(QFileInfo(file).fileName());
}
QString NoRecentFiles() {
    return T("(沒有最近開啟的檔案)");
}
QString PictureStatus(const QString& format, QSize shown, QSize file) {
    const QString size = T("%1 × %2").arg(file.width()).arg(file.height());
    const QString what = format.isEmpty() ? size : T("%1 %2").arg(format, size);
    if (shown == file)
        return what;
    return T("%1,縮小為 %2 × %3").arg(what).arg(shown.width()).arg(shown.height());
}
QString PointerStatus(int x, int y, TColor c) {
    return T("(%1, %2) %3 %4").arg(x).arg(y).arg(Hex(c), Channels(c));
}
QString DroppedOpened(const QString& file) {
    return T("已開啟「%1」").arg(QFileInfo(file).fileName());
}
QString DroppedFolder(const QString& folder) {
    return T("「%1」是資料夾,不是圖片檔").arg(QFileInfo(folder).fileName());
}
QString DroppedMany(int files) {
    return T("一次只能開啟一個檔案,拖放的是 %1 個").arg(files);
}
QString WaitForWork() {
    return T("請等目前的工作完成,或按「取消」");
}
QString AboutTitle() {
    return T("關於 colorsplit");
}
QString About(const QString& version) {
    return T("<p><b>colorsplit</b> %1</p>"
             "<p>點選圖片上的四種顏色,將每個像素分到最接近的顏色群組。</p>"
             "<p>以 MIT 授權條款發布的自由軟體。</p>")
        .arg(version);
}

QString WindowDescription() {
    return T(
        "Splits the colours of a picture into at most four groups: click four seed colours on\n"
        "the picture, run the vector quantisation, see each group's colour, and black out\n"
        "every pixel outside one group.");
}
QString WindowFileArgument() {
    QStringList names;
    for (const PictureFormat& format : PictureFormats())
        names << format.name;
    const QString last = names.takeLast();
    // Qt wraps the text to its column.
    return T("A picture (%1 or %2) to open at start-up, as if chosen with the open button. "
             "Of several, the first is opened.")
        .arg(names.join(QStringLiteral(", ")), last);
}
QString HelpOption() {
    return T("Show this help and exit.");
}
QString VersionOption() {
    return T("Show the version and exit.");
}
QString CliUsage() {
    return T(
        "Usage: colorsplit-cli [--fit] [--no-profile] [--inks FILE] [--summary FILE]\n"
        "                      [EXPORT OPTION...] COMMAND...\n"
        "  or:  colorsplit-cli batch [--fit] [--no-profile] [--jobs N] [--csv FILE]\n"
        "                            [--export DIR] [--inks FILE] [EXPORT OPTION...]\n"
        "                            (--seeds FILE | --seed RRGGBB... | --auto-seeds) PICTURE...\n"
        "  or:  colorsplit-cli --help | --version\n");
}
namespace {

QStringList ReadFormatNames() {
    QStringList names;
    for (const PictureFormat& format : PictureFormats())
        names << format.name;
    return names;
}

// "BMP, PNG or JPEG", for the English help.
QString FormatList(QStringList names) {
    const QString last = names.takeLast();
    return names.isEmpty() ? last
                           : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

}  // namespace

QString CliHelp(QSize pickArea) {
    return CliUsage() +
           T("Replays a use of the colorsplit window, command by command, through the same code "
             "as\n"
             "the window's buttons, and prints every line of the window's message log to standard\n"
             "output as it is logged. Needs no display. Opening a reduced copy, counting it at\n"
             "full size and exporting show their progress on standard error while it is a\n"
             "terminal, on one line cleared at the end, and nothing otherwise.\n"
             "\n"
             "Commands:\n"
             "  open PATH   the open command, with PATH chosen in the open dialog: a picture of\n"
             "              %6.\n"
             "              A picture that opens starts a new round: no picks, no groups, no\n"
             "              mask. One larger than %1 x %2 prints \"%3\" and\n"
             "              fails the run; with --fit it opens as a reduced copy instead\n"
             "  pick X Y    a click at (X, Y) on the window's picture control, which is %4 x %5\n"
             "              pixels (0 <= X < %4, 0 <= Y < %5) and at 100 % shows the picture\n"
             "              unscaled from its top-left corner: (X, Y) is the picture's pixel,\n"
             "              the one a click on it picks at any zoom. A click beside a smaller\n"
             "              picture picks nothing and prints nothing\n")
               .arg(kTableWidth)
               .arg(kTableHeight)
               .arg(TooLarge())
               .arg(pickArea.width())
               .arg(pickArea.height())
               .arg(FormatList(ReadFormatNames())) +
           T("  unpick      take the last pick back (\"%1\"), while no execute has run\n"
             "              since it; with none to take back it prints nothing\n"
             "  repick      start the picks over on the picture as opened (\"%2\")\n"
             "  execute     the execute button: the quantisation from the picked colours; with\n"
             "              none picked it prints \"%3\" and changes nothing\n"
             "  mask N      select colorN (N from 1 to %4) and press the MASK button: every pixel\n"
             "              outside group N turns black, on the picture as opened (an earlier "
             "mask\n"
             "              is undone first); before an execute of this round it prints\n"
             "              \"%5\" and changes nothing\n")
               .arg(T("取消選擇顏色%1").arg(QStringLiteral("N")), PicksStartedOver(),
                    NoColourPicked())
               .arg(kMaxColors)
               .arg(NotRun()) +
           T("  seed RRGGBB the next pick by value (hex, '#' optional, either case), as a click "
             "on\n"
             "              a pixel of that colour\n"
             "  seeds FILE  the colours of a palette file picked in order, as seed picks them,\n"
             "              until four are picked: a GIMP palette (.gpl, as export writes) or a\n"
             "              list of RRGGBB or #RRGGBB a line; a malformed file is an error that\n"
             "              names the line, and nothing is picked\n"
             "  autoseed    the colours still to be picked, chosen from the picture around those\n"
             "              picked already (k-means++ drawn ten times with a fixed seed over the\n"
             "              picture's colours), each picked as seed picks it: the same colours on\n"
             "              every run and machine\n"
             "  save PATH   the save command: the shown picture to PATH as its extension says,\n"
             "              .png a PNG, .tif or .tiff a TIFF, .jpg or .jpeg a JPEG (quality 95),\n"
             "              .webp a lossless WebP, any other a BMP file; the name of a picture\n"
             "              format not written (.gif, .heic, .avif, .jxl, ...) is an error and\n"
             "              writes nothing; a new PATH without an extension gets .bmp\n"
             "  export DIR  the last grouping's files into DIR (made if missing, files replaced):\n"
             "              STEM-quantised.png, STEM-groupN.png and STEM-groupN-film.png for each\n"
             "              group N, STEM-groups.csv and the palette STEM-groups.gpl, STEM being\n"
             "              the opened file's name, and what the export options ask; an error\n"
             "              without a picture, before an execute of this picture, or with\n"
             "              settings that cannot be used for it. With --inks, the CSV's ink and\n"
             "              delta_e name each group's nearest ink, and the palette names the\n"
             "              groups by them\n"
             "  mean        the mean colour button\n"
             "\n"
             "Before a picture has opened, pick, execute, mask and mean print \"%1\" and\n"
             "change nothing, and save is an error.\n"
             "\n")
               .arg(NoPicture()) +
           T("Options:\n"
             "  --fit           open pictures larger than %1 x %2 (up to 100 megapixels) as\n"
             "                  reduced copies; export then writes them at their full size\n"
             "  --inks FILE     match every group to its nearest ink of FILE by CIEDE2000: a\n"
             "                  palette file as seeds reads, its colours named (GIMP palette "
             "names,\n"
             "                  or RRGGBB name lines); read before the commands run\n"
             "  --no-profile    open pictures with the values their files store: an embedded\n"
             "                  colour profile is not applied (by default the pixels are\n"
             "                  converted to sRGB through it; a broken one is passed over with\n"
             "                  a note on standard error)\n"
             "  --summary FILE  write the final state to FILE as one JSON object: swatches,\n"
             "                  code_book, sel_color, mean_color, color_count, run_count,\n"
             "                  distortion, last_distortion, mask_done, group_counts, and groups:\n"
             "                  {group, hex, pixels, percent} for each group of the last grouping\n"
             "  --help          show this text\n"
             "  --version       show the version\n"
             "\n")
               .arg(kTableWidth)
               .arg(kTableHeight) +
           T("Export options (for every export, and for batch; the window's 匯出設定…):\n"
             "  --min-region N  cleanup: every region of one group smaller than N pixels of the\n"
             "                  full-size picture joins the neighbouring group it shares the\n"
             "                  longest border with (0, the default, is off)\n"
             "  --connect 4|8   which pixels a region's are: side by side (4, the default), or\n"
             "                  corners too (8)\n"
             "  --dither        each pixel's group by error diffusion among the groups' colours\n"
             "                  (Floyd-Steinberg), so the films' dots carry the tones; not with\n"
             "                  --min-region\n"
             "  --trap PX       the film of a lighter group spreads PX pixels (0 to %1) into\n"
             "                  darker groups, lighter and darker by 0.2126 R + 0.7152 G + 0.0722 "
             "B\n"
             "  --dpi N         the print size: N dots an inch (300 by default); every PNG says\n"
             "                  it, and the CSV gives each group's printed area (area_cm2)\n"
             "  --print-width MM  the print size as the printed width in millimetres instead\n"
             "  --marks         registration and crop marks and a label (picture, group,\n"
             "                  colour) in a %2 mm margin around every film\n"
             "  --pdf           also STEM-films.pdf: a proof in colour, then a page a group with\n"
             "                  its film at the print size, marks and label\n"
             "  --svg           also STEM-groups.svg (a layer a group, shapes that share their\n"
             "                  borders exactly) and STEM-groupN.svg for each group\n"
             "  --smooth TOL    the vectors' smoothing tolerance in pixels (0 to %3, %4 by\n"
             "                  default); 0 follows the pixels' edges exactly\n"
             "  --ink-colours   with --inks, the quantised picture and the layers in the\n"
             "                  nearest inks' colours\n"
             "A malformed value is a malformed command line. Cleanup and dithering apply to\n"
             "everything the export writes and to --summary's groups; trap only to films.\n"
             "\n")
               .arg(ExportSettings::kMostTrapPixels)
               .arg(ExportSettings::kMarginMm)
               .arg(ExportSettings::kMostSmoothing)
               .arg(ExportSettings::kDefaultSmoothing) +
           T("batch: every PICTURE opened (as open, with --fit and --no-profile as given), the\n"
             "seeds picked (with --auto-seeds each picture's own, as autoseed picks them), and\n"
             "executed, with\n"
             "--export its files into DIR as export writes them; --jobs N of them at once (the\n"
             "machine's cores without it). One CSV for the whole run, to FILE once all are done\n"
             "(written safely) or to standard output:\n"
             "file,group,hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e (the last two\n"
             "empty without --inks), pictures in the order given, full-size\n"
             "pixels for reduced copies; the same whatever N. A picture that fails gets one line\n"
             "on standard error and no rows, and the others go on. Two pictures whose exports\n"
             "would share file names are a malformed command line.\n"
             "\n"
             "Exit status:\n"
             "  0  every command ran\n"
             "  1  a command failed: its message went to standard error and no later command ran\n"
             "     (batch: a picture failed, or the CSV could not be written)\n"
             "  2  the command line was malformed; nothing ran\n"
             "\n"
             "Examples:\n"
             "  colorsplit-cli open in.bmp pick 10 10 pick 200 40 pick 90 300 execute mask 2 save "
             "out.bmp\n"
             "  colorsplit-cli --fit open photo.jpg seed 4B7AD3 seed FACE4A execute export "
             "groups/\n"
             "  colorsplit-cli batch --fit --seeds groups/photo-groups.gpl --csv all.csv "
             "*.jpg\n"
             "  colorsplit-cli --min-region 20 --trap 2 --marks --pdf --svg --fit open "
             "photo.jpg \\\n"
             "      seed 4B7AD3 seed FACE4A seed 42882D seed AF1E1E execute export films/\n");
}

}  // namespace colorsplit::texts
