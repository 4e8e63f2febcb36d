#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

#include "platform/film_marks.h"
#include "platform/png_writer.h"

namespace colorsplit {

// Fills picture row y of a film in FilmRow's layout (1 bit, black 0, white 1, the leftmost
// pixel in the highest bit). Rows are asked for top to bottom, once each.
using FilmRows = std::function<void(int y, std::uint8_t* row)>;

// A film page: its label (picture, group, colour, as the user reads them) and its rows.
struct FilmPage {
    QString label;
    FilmRows rows;
};

// Paints the quantised picture over proof, a Format_RGB32 picture of ProofSize of the picture's
// size (its pixels are the PDF's own, so no copy is made).
using ProofPicture = std::function<void(QImage& proof)>;

// The proof is for the eye: the picture's size, reduced to at most this many pixels on its
// longer side, keeping its aspect ratio.
constexpr int kProofSide = 1600;
QSize ProofSize(QSize picture);

// A PDF of films for a print shop, written as it is made: a first page with the quantised
// picture in colour as a proof, with the crop marks, then a page for each film, black on white,
// with every mark and its label. Each page is the sheet, the print size plus the margins,
// exactly; a film goes in as a 1-bit image of the picture's own pixels at dpi, never resampled
// (in tiles past 32736 pixels a side), marks and label as vector shapes (the label's outlines,
// so no font needs to travel with it). One film's bits are held at a time, and cairo's copy of
// them while their page goes out. going is asked between pages and every 256 rows: once it says
// no, the writing stops and false comes back, the device holding part of a file. Memory running
// out throws std::bad_alloc; a device that fails to write, EncodeError, or what a SinkDevice's
// sink threw.
bool WriteFilmsPdf(QIODevice& device, const FilmSheet& sheet, const ProofPicture& proof,
                   const std::vector<FilmPage>& films, const std::function<bool()>& going);

// A device over a sink such as StagedFile::Write, open for writing. What the sink throws is
// kept, the write fails, and RethrowFailure throws it again.
class SinkDevice : public QIODevice {
public:
    explicit SinkDevice(PngOut sink);

    bool isSequential() const override { return true; }
    void RethrowFailure() const;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    PngOut sink_;
    std::exception_ptr failure_;
};

}  // namespace colorsplit
