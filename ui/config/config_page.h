#pragma once
// CConfigPage: the base of the configuration pages that load their values
// from the module and apply the edited ones (Device, Filter, FFT && Position).
// It fills the pages' drop-down lists, and their number fields go one way:
// read and shown, or converted from the edited text, limited to the object's
// range and written, as the object dictionary gives each object's type and
// limits.
#include "ui/toolkit/dialog_common.h"

#include <cstdint>
#include <span>

class CConfigPage : public CDialogCommon {
    Q_OBJECT
public:
    // A number field and the object it shows (element 0). A float32 object is
    // shown with automatic precision and edited as a decimal number; an int32
    // object is shown in decimal and edited as an unsigned decimal integer.
    struct NumberField {
        int id;
        uint16_t object;
    };
    using Fields = std::span<const NumberField>;
    // A drop-down list and its texts, index 0 first.
    struct List {
        int id;
        const char* const* texts;
        int count;
    };

    // Reads the page's objects and shows them.
    virtual void LoadFromDevice() = 0;
    // Limits the edited values and writes the page's objects; the results of
    // the writes are not checked (the configuration window reloads).
    virtual void ApplyToDevice() = 0;

protected:
    // lists: filled at initialisation; edited: the number fields the user
    // edits, limited in length. Both refer to tables that outlive the page.
    CConfigPage(const DialogTemplate& tmpl, std::span<const List> lists, Fields edited, QWidget* parent);

    // Fills the lists, limits the edited fields, then LoadFromDevice.
    bool OnInitDialog() override;

    // Reads each field's object and shows it; a failed read, or none for want
    // of a connection, empties the field.
    void LoadFields(Fields fields);
    // Converts each field's text, limits it to the object's range and writes
    // it while connected. A blank field (emptied by a failed read) holds no
    // value and is not written.
    void ApplyFields(Fields fields);

private:
    std::span<const List> m_lists;
    Fields m_edited;
};
