// Draws the bundled sample picture: a landscape of a few clear colour regions with shading and
// noise. Deterministic, so the committed file can be made again byte for byte.
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.bmp\n");
        return 2;
    }
    const int w = 480, h = 360;
    QImage image(w, h, QImage::Format_RGB32);
    // Sky: a vertical gradient from deep to pale blue.
    for (int y = 0; y < h; ++y) {
        const double t = static_cast<double>(y) / h;
        const QRgb sky = qRgb(40 + static_cast<int>(120 * t), 90 + static_cast<int>(110 * t),
                              200 + static_cast<int>(40 * t));
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, sky);
    }
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        // Sun.
        QRadialGradient sun(QPointF(370, 70), 42);
        sun.setColorAt(0, QColor(255, 236, 120));
        sun.setColorAt(1, QColor(250, 190, 40));
        p.setBrush(sun);
        p.drawEllipse(QPointF(370, 70), 42, 42);
        // Hills, lit from the upper right.
        QPainterPath hills;
        hills.moveTo(0, 230);
        for (int x = 0; x <= w; x += 8)
            hills.lineTo(x, 215 + 25 * std::sin(x / 60.0) + 12 * std::sin(x / 23.0));
        hills.lineTo(w, h);
        hills.lineTo(0, h);
        hills.closeSubpath();
        QLinearGradient grass(0, 190, 0, h);
        grass.setColorAt(0, QColor(120, 200, 70));
        grass.setColorAt(1, QColor(30, 100, 30));
        p.setBrush(grass);
        p.drawPath(hills);
        // A red house with a dark roof.
        QLinearGradient wall(90, 0, 190, 0);
        wall.setColorAt(0, QColor(200, 40, 35));
        wall.setColorAt(1, QColor(150, 20, 25));
        p.setBrush(wall);
        p.drawRect(90, 220, 100, 80);
        p.setBrush(QColor(70, 45, 40));
        p.drawPolygon(QPolygon({QPoint(80, 222), QPoint(140, 175), QPoint(200, 222)}));
        p.setBrush(QColor(240, 220, 150));
        p.drawRect(150, 240, 24, 24);
    }
    // Sensor-like noise, from the engine's raw output so every platform makes the same file.
    std::mt19937 noise(20261207);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            const auto jitter = [&](int v) {
                const int d = static_cast<int>(noise() % 13) - 6;
                return std::clamp(v + d, 0, 255);
            };
            image.setPixel(x, y, qRgb(jitter(qRed(c)), jitter(qGreen(c)), jitter(qBlue(c))));
        }
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
