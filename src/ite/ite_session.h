// The ITE mode window's work: the pin mapping and its motherboard database,
// the connection check, and the flash read and write with their worker.
// Every report goes to both memos at once, in Russian and in English. The
// window forwards its events to the handlers below (named after the
// window's controls) and shows what the session sends through the port.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ite/ite_mapping.h"
#include "session/session_core.h"

namespace zjig {

class IteSession : public CoreModeSession {
  public:
    // The motherboard database is `context.dataDir` + "MB connection ITE.txt".
    explicit IteSession(const ModeContext& context);
    ~IteSession() override;  // stops a running operation and joins its worker

    // --- window events, on the window thread ---
    void FormCreate() override;
    // Item `index` of the motherboard list chosen (0 is the prompt).
    void ITE_ComboBox_MB_SWITCHSelect(int index);
    // The cable check box's mark changed (checked: forward cable).
    void ITE_CheckBoxClick(bool checked);
    // The user chose an item of a contact drop-down or typed into it.
    void ComboBoxChange(ite::IteSignal signal, const std::string& text);
    void ITE_SETUP_BitBtnClick();
    void CheckBox_RUS_ENGClick(bool checked);
    void ITE_CHECK_CON_BitBtnClick();
    void ITE_READ_BitBtnClick();
    void ITE_WRITE_BitBtnClick();
    void ITE_EXIT_BitBtnClick();

    // --- for the front ends ---
    // True while a read or write runs (tag not "NONE"). A press has succeeded
    // when its success byte was sent; APPLY when every setup item was taken.
    bool busy() const override;
    // The motherboard list as FormCreate filled it (item 0: the prompt, or
    // the line saying that the database is missing).
    std::vector<std::string> motherboardItems() const;
    // The last chosen record set all fifteen contacts.
    bool recordComplete() const;
    // The last change of the cable check box renumbered the contacts.
    bool reversalDone() const;
    // The fifteen drop-downs' item indexes, indexed by signal.
    ite::Selection selection() const;

    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::ite {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::ite
