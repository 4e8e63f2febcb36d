#include "fuzz/one_input.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>

#include "session/file_dialog.h"
#include "session/session.h"
#include "session/texts.h"
#include "tests/support/quiet_view.h"

namespace colorsplit::fuzz {

bool RunOneInput(const std::uint8_t* data, std::size_t size, const std::string& folder) {
    const std::string in = folder + "/input.bmp";
    const std::string out = folder + "/output.bmp";
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // One session for every input: a new one would clear a 20 MB table each time. A picture
    // that opens starts a new round.
    // Pictures past 4 million pixels are refused: small enough to stay fast under the fuzzer.
    static test::QuietView view(4'000'000);
    static ScriptedDialog open, save, exportTo;
    static Session session(view, open, save, exportTo);
    open.Answer(in);
    bool loaded = false;
    try {
        const Opening opening = session.Button1Click();
        NoProgress quietly;
        if (opening.work)
            RunToEnd(*opening.work, quietly);
        loaded = opening.result == Opening::kOpened || opening.result == Opening::kReduced;
        if (loaded) {
            const int w = session.ShownPicture().Width(), h = session.ShownPicture().Height();
            session.Image1MouseDown(0, 0);
            session.Image1MouseDown(w - 1, h - 1);
            session.Image1MouseDown(w / 2, h / 3);
            session.Image1MouseDown(w / 3, h / 2);
            session.Button2Click();
            session.Button7Click(1);
            save.Answer(out);
            session.Button4Click();
            session.Button5Click();
        }
    } catch (const PictureError& e) {
        // A refusal is the expected outcome for most inputs; it must be worded whatever it is.
        if (texts::Describe(e).isEmpty())
            std::abort();
    } catch (const std::exception&) {
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    return loaded;
}

}  // namespace colorsplit::fuzz
