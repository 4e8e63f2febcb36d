#include "ui/recent_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <optional>
#include <vector>

#include "platform/safe_file.h"

namespace colorsplit::recent {

namespace {

constexpr char kRecentFiles[] = "recentFiles";
// Who opened a file, as the desktop's list names programs, and how to open it again.
constexpr char kApplication[] = "colorsplit";
constexpr char kExec[] = "'colorsplit %u'";

QStringList Remembered() {
    QStringList files;
    for (const QJsonValue& file : remembered::Value(kRecentFiles).toArray())
        if (file.isString() && !file.toString().isEmpty())
            files << file.toString();
    return files;
}

// An XBEL document as a tree of elements, each kept whole: the desktop's list holds entries of
// other programs, which go back as they came. Text that is only layout is dropped and written
// again indented.
struct Node {
    QString name;  // with its prefix ("bookmark:application"); empty for text
    QXmlStreamAttributes attributes;
    QString text;
    std::vector<Node> children;

    Node* Child(const QString& childName) {
        for (Node& child : children)
            if (child.name == childName)
                return &child;
        return nullptr;
    }
    Node& Add(const QString& childName) {
        children.push_back(Node{childName, {}, {}, {}});
        return children.back();
    }
    void Set(const QString& attribute, const QString& value) {
        for (QXmlStreamAttribute& a : attributes)
            if (a.qualifiedName() == attribute) {
                a = QXmlStreamAttribute(attribute, value);
                return;
            }
        attributes.append(attribute, value);
    }
};

// Prefixes as written, unresolved: the tree is written back exactly as it was named.
std::optional<Node> Parse(const QByteArray& bytes) {
    QXmlStreamReader in(bytes);
    in.setNamespaceProcessing(false);
    Node root;
    std::vector<Node*> open{&root};
    while (!in.atEnd()) {
        switch (in.readNext()) {
            case QXmlStreamReader::StartElement:
                open.push_back(&open.back()->Add(in.qualifiedName().toString()));
                open.back()->attributes = in.attributes();
                break;
            case QXmlStreamReader::EndElement:
                open.pop_back();
                break;
            case QXmlStreamReader::Characters:
                if (!in.isWhitespace())
                    open.back()->children.push_back(Node{{}, {}, in.text().toString(), {}});
                break;
            default:
                break;
        }
    }
    if (in.hasError() || root.children.size() != 1 || root.children.front().name != "xbel")
        return std::nullopt;
    return std::move(root.children.front());
}

void Write(QXmlStreamWriter& out, const Node& node) {
    if (node.name.isEmpty()) {
        out.writeCharacters(node.text);
        return;
    }
    out.writeStartElement(node.name);
    out.writeAttributes(node.attributes);
    for (const Node& child : node.children)
        Write(out, child);
    out.writeEndElement();
}

Node NewList() {
    Node xbel{QStringLiteral("xbel"), {}, {}, {}};
    xbel.Set(QStringLiteral("version"), QStringLiteral("1.0"));
    xbel.Set(QStringLiteral("xmlns:bookmark"),
             QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks"));
    xbel.Set(QStringLiteral("xmlns:mime"),
             QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    return xbel;
}

}  // namespace

QStringList Files() {
    QStringList files;
    for (const QString& file : Remembered())
        if (QFileInfo(file).isFile())
            files << file;
    return files;
}

void Opened(const QString& file, const Report& report) {
    const QString path = QFileInfo(file).absoluteFilePath();
    QStringList files = Remembered();
    files.removeAll(path);
    files.prepend(path);
    remembered::SetValue(kRecentFiles, QJsonArray::fromStringList(files.mid(0, kMost)), report);
    // The desktop's list is a courtesy to other programs: a failure there is not this one's.
    AddToDesktopList(DesktopListFile(), path, QMimeDatabase().mimeTypeForFile(path).name(),
                     QDateTime::currentDateTimeUtc());
}

QString DesktopListFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/recently-used.xbel");
}

bool AddToDesktopList(const QString& xbel, const QString& file, const QString& mimeType,
                      const QDateTime& when) {
    std::optional<Node> list;
    QFile old(xbel);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly))
            return false;
        list = Parse(old.readAll());
        // Not ours to mend: a list another program cannot read stays as it is.
        if (!list)
            return false;
    } else {
        list = NewList();
    }
    const QString href = QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
    const QString stamp = when.toUTC().toString(Qt::ISODateWithMs);

    // The entry, taken out to go back at the end, or a new one.
    Node entry{QStringLiteral("bookmark"), {}, {}, {}};
    entry.Set(QStringLiteral("href"), href);
    entry.Set(QStringLiteral("added"), stamp);
    for (auto it = list->children.begin(); it != list->children.end(); ++it)
        if (it->name == "bookmark" &&
            QUrl(it->attributes.value(QStringLiteral("href")).toString()) == QUrl(href)) {
            entry = std::move(*it);
            list->children.erase(it);
            break;
        }
    entry.Set(QStringLiteral("modified"), stamp);
    entry.Set(QStringLiteral("visited"), stamp);
    Node* info = entry.Child(QStringLiteral("info"));
    if (info == nullptr)
        info = &entry.Add(QStringLiteral("info"));
    Node* metadata = nullptr;
    for (Node& child : info->children)
        if (child.name == "metadata" && child.attributes.value(QStringLiteral("owner")) ==
                                            QLatin1String("http://freedesktop.org"))
            metadata = &child;
    if (metadata == nullptr) {
        metadata = &info->Add(QStringLiteral("metadata"));
        metadata->Set(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    }
    if (metadata->Child(QStringLiteral("mime:mime-type")) == nullptr && !mimeType.isEmpty())
        metadata->Add(QStringLiteral("mime:mime-type")).Set(QStringLiteral("type"), mimeType);
    Node* applications = metadata->Child(QStringLiteral("bookmark:applications"));
    if (applications == nullptr)
        applications = &metadata->Add(QStringLiteral("bookmark:applications"));
    Node* us = nullptr;
    for (Node& application : applications->children)
        if (application.name == "bookmark:application" &&
            application.attributes.value(QStringLiteral("name")) == QLatin1String(kApplication))
            us = &application;
    if (us == nullptr) {
        us = &applications->Add(QStringLiteral("bookmark:application"));
        us->Set(QStringLiteral("name"), QLatin1String(kApplication));
        us->Set(QStringLiteral("exec"), QLatin1String(kExec));
    }
    us->Set(QStringLiteral("modified"), stamp);
    us->Set(QStringLiteral("count"),
            QString::number(us->attributes.value(QStringLiteral("count")).toInt() + 1));
    list->children.push_back(std::move(entry));

    QByteArray bytes;
    QXmlStreamWriter out(&bytes);
    out.setAutoFormatting(true);
    out.writeStartDocument();
    Write(out, *list);
    out.writeEndDocument();
    try {
        QDir().mkpath(QFileInfo(xbel).absolutePath());
        WriteFileSafely(xbel.toStdString(), bytes, PictureError::Action::kRemember);
    } catch (const PictureError&) {
        return false;
    }
    return true;
}

}  // namespace colorsplit::recent
