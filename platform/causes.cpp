#include "platform/causes.h"

#include <cerrno>

namespace colorsplit {

QString SystemCause(int code) {
    switch (code) {
        case ENOSPC:
            return QStringLiteral("磁碟空間不足");
        case EDQUOT:
            return QStringLiteral("超過磁碟配額");
        case EFBIG:
            return QStringLiteral("檔案超過允許的大小");
        case EROFS:
            return QStringLiteral("唯讀的檔案系統");
        case EACCES:
        case EPERM:
            return QStringLiteral("沒有權限");
        case EIO:
            return QStringLiteral("裝置讀寫錯誤");
        case ENOENT:
            return QStringLiteral("檔案或資料夾不存在");
        case ENOTDIR:
            return QStringLiteral("路徑中有一段不是資料夾");
        case EISDIR:
            return QStringLiteral("這是資料夾");
        case ENAMETOOLONG:
            return QStringLiteral("名稱太長");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("開啟的檔案太多");
        case ENOMEM:
            return QStringLiteral("記憶體不足");
        case EBUSY:
        case ETXTBSY:
            return QStringLiteral("檔案正在使用中");
        case ELOOP:
            return QStringLiteral("連結太多層");
        default:
            return QStringLiteral("系統錯誤 %1").arg(code);
    }
}

}  // namespace colorsplit
