#pragma once
// The background editor window: the core's editor boxes as text boxes, and its buttons.
#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "tools/bg_editor.h"

class QHBoxLayout;
class QLineEdit;
class QCheckBox;
class QPushButton;

namespace qb::gui {

class FrmBg : public QWidget {
    Q_OBJECT
public:
    // `button` runs a button's action in the core (BgEditorButton), by control name.
    // `developer`: the test buttons (Set, Command3 to Command5) are offered too.
    FrmBg(BgEditorFields& fields, std::function<void(const std::string&)> button, QWidget* parent = nullptr,
          bool developer = false);

    // Shows in each box what the core holds, where the core changed it since it was last shown: what
    // the user is typing stays.
    void Refresh();

    QLineEdit* Box(const std::string& name) const;
    QCheckBox* MaskBox() const { return m_chkMask; }
    QPushButton* Button(const std::string& name) const;

    // A panel beside the boxes (the element list), refreshed with them by `refresh`.
    void SetSidePanel(QWidget* panel, std::function<void()> refresh);

    // Told when the window is shown (true) or hidden (false): the view edits elements only meanwhile.
    void SetShownHandler(std::function<void(bool)> handler) { m_shown = std::move(handler); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Bound {
        std::string BgEditorFields::*field;
        QLineEdit* box;
        std::string shown;
    };
    BgEditorFields& m_fields;
    std::function<void(const std::string&)> m_button;
    std::function<void(bool)> m_shown;
    std::map<std::string, Bound> m_boxes;
    std::map<std::string, QPushButton*> m_buttons;
    QCheckBox* m_chkMask = nullptr;
    QHBoxLayout* m_sides = nullptr;
    std::function<void()> m_refreshSide;
    bool m_maskShown = false;
};

}  // namespace qb::gui
