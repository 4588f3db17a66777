#pragma once

#include "fakepanel.h"
#include "fakeport.h"
#include "link/connection.h"
#include "link/decoder.h"
#include "link/reporttable.h"
#include "link/supervisor.h"
#include "panel/offlinestatus.h"
#include "panel/texts.h"
#include "params/buttonhandler.h"
#include "params/labeltext.h"
#include "params/sliderhandler.h"
#include "params/spinnerhandler.h"

namespace qj::test {

// The whole protocol engine and the control handlers on a model panel and an in-memory port,
// wired the way the window wires them. Ticks are calls.
struct LinkRig : LinkHost
{
    FakePort port;
    FakePanel panel;
    CommandState cmd;
    ReceiveState rx;
    Transmitter tx{port, cmd};
    Texts texts{panel};
    ReportTable table{panel, *this};
    Decoder decoder{port, rx, table, tx};
    Supervisor supervisor{port, tx, rx, decoder, *this};
    Connection connection{port, tx, panel, *this};
    SliderHandler sliders{panel, tx};
    ButtonHandler buttons{panel, tx};
    SpinnerHandler spinners{panel};

    int errors = 0;   // ShowError calls
    int connects = 0; // ShowConnect calls
    int offlines = 0; // OffLineStatus calls
    std::vector<PortError> failures;

    LinkRig()
    {
        panel.onChange = [this](Control c) {
            switch (c) {
            case Control::SuperBass:
            case Control::SubwoofPhase:
                buttons.CheckBoxClick(c);
                break;
            case Control::SurroundMode1:
            case Control::SurroundMode2:
                buttons.OptionClick(c);
                break;
            case Control::MaxMusicVolume:
            case Control::MaxMicVolume:
                spinners.Change(c);
                break;
            default:
                break;
            }
        };
        tx.setFailureHandler([this](PortError e) { failures.push_back(e); });
        OffLineStatus(); // start-up
        offlines = 0;
    }

    void ShowError() override
    {
        ++errors;
        texts.ShowError();
    }
    void ShowConnect() override
    {
        ++connects;
        texts.ShowConnect();
    }
    void OffLineStatus() override
    {
        ++offlines;
        qj::OffLineStatus(panel, cmd, texts);
    }

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            supervisor.RunTimer_Timer();
    }
    void goOnline()
    {
        port.open = true;
        panel.setEnabled(Control::MenuConnect, false);
        panel.setEnabled(Control::Mute, true);
    }
    // Frames written, as 4-byte vectors; reply bytes are left out.
    std::vector<std::vector<std::uint8_t>> frames() const
    {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto &w : port.writes)
            if (w.size() == 4)
                out.push_back(w);
        return out;
    }
};

inline std::vector<std::uint8_t> bytes(std::initializer_list<std::uint8_t> b)
{
    return b;
}

} // namespace qj::test
