#pragma once
// The music chooser frmMusic: what its controls show and what its buttons do. The Qt window only
// shows these fields and calls these routines.
#include <cstdint>
#include <string>

#include "music/cls_music.h"
#include "platform/file_dialog.h"
#include "platform/ports.h"
#include "stage/stage_model.h"

namespace qb {

struct MusicChooser {
    bool Loaded = false;   // frmMusicLoaded: the window exists (shown or not)
    bool Enabled = false;  // every control
    std::string Caption = "Choose Music";
    std::string CurMusic;  // txtCurMusic
    int32_t Volume = 0;    // vscVol, -255..255
    std::string VolumeText = "0";  // txtVolume
    std::string Time = "0:00";     // lblTime
    std::string ChosenMusic;
    bool MusicPicked = false;  // Browse chose a file since the last Init
    uint32_t Revision = 0;  // grows on every change the window must show
};

// What the chooser's routines work on besides its own fields.
struct MusicChooserEnv {
    StageModel& stage;
    clsMusic& music;
    clsDialog& cdl;
    Ui& ui;
    const std::string& mugeDir;
    const std::string& stageFile;
    // The package the stage was extracted from; empty for a stage opened as a file.
    std::string packageFile;
};

// Fills the window from the current stage; enabled when a stage runs.
void InitMusicChooser(MusicChooser& chooser, StageModel& stage, clsMusic& music, bool running);
void EnableMusicChooser(MusicChooser& chooser, bool enabled);
// vscVol changed (by the user or by Init): the player's volume follows, -255..255 onto -6000..0.
void vscVol_Change(MusicChooser& chooser, clsMusic& music, int32_t value);
// Browse: "Choose da music!"; plays the choice and shows it relative to the MUGEN directory's
// sound folder when it is in there.
void cmdBrowse_Click(MusicChooser& chooser, MusicChooserEnv& env);
void cmdPlay_Click(clsMusic& music);
// Update DEF: writes the shown file and volume into the stage file; without a Browse choice the
// stage's own music reference is written as it stands (none stays none). A file that could not be
// rewritten is reported in a message box and changes nothing. A stage from a package runs from an
// extracted copy that goes when the stage is closed: the user is told so first and may call it off.
bool cmdSave_Click(MusicChooser& chooser, MusicChooserEnv& env);
// Once a second while the stage has music: the playing position.
void ShowMusicTime(MusicChooser& chooser, clsMusic& music);

}  // namespace qb
