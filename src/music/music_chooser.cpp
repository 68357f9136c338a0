#include "music/music_chooser.h"

#include <algorithm>
#include <cmath>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_loader.h"
#include "stage/stage_writer.h"

namespace qb {

void EnableMusicChooser(MusicChooser& chooser, bool enabled) {
    chooser.Enabled = enabled;
    ++chooser.Revision;
}

void InitMusicChooser(MusicChooser& chooser, StageModel& stage, clsMusic& music, bool running) {
    chooser.Caption = "Choose Music";
    chooser.MusicPicked = false;
    if (stage.MusicFile == "0") stage.MusicFile.clear();
    chooser.CurMusic = stage.MusicFile.empty() ? "None" : stage.MusicFile;
    stage.BgVolume = std::clamp<int16_t>(stage.BgVolume, -255, 255);
    vscVol_Change(chooser, music, stage.BgVolume);
    EnableMusicChooser(chooser, running);
}

void vscVol_Change(MusicChooser& chooser, clsMusic& music, int32_t value) {
    chooser.Volume = std::clamp<int32_t>(value, -255, 255);
    music.SetVolume(MusicVolume(static_cast<int16_t>(chooser.Volume)));
    chooser.VolumeText = std::to_string(chooser.Volume);
    ++chooser.Revision;
}

void cmdBrowse_Click(MusicChooser& chooser, MusicChooserEnv& env) {
    const std::string soundDir = JoinPath(env.mugeDir, "sound/");
    const std::string start = !env.mugeDir.empty() && DirExists(soundDir) ? soundDir : std::string();
    std::string answer = env.cdl.ShowOpen(env.ui, "Choose da music!", start,
                                          "Music files|*.mp3;*.mid;*.wav;*.wma;*.ogg", 6144);
    if (answer.empty()) return;
    if (const size_t nul = answer.find('\0'); nul != std::string::npos) answer.resize(nul);
    chooser.ChosenMusic = answer;
    chooser.MusicPicked = true;
    env.music.SetFileName(answer);
    env.music.Play();
    // Inside the MUGEN directory's sound folder the stage names it relative to the directory, as
    // stages ship it; separators of either kind match.
    const std::string lowered = text::Lower(ToNativePath(answer));
    const std::string soundPrefix = text::Lower(ToNativePath(env.mugeDir + "sound/"));
    if (!env.mugeDir.empty() && lowered.find(soundPrefix) != std::string::npos) {
        const size_t at = lowered.find("sound/");
        chooser.ChosenMusic = "sound\\" + answer.substr(at + 6);
    }
    vscVol_Change(chooser, env.music, chooser.Volume);
    chooser.CurMusic = chooser.ChosenMusic;
    ++chooser.Revision;
}

void cmdPlay_Click(clsMusic& music) {
    music.Play();
}

bool cmdSave_Click(MusicChooser& chooser, MusicChooserEnv& env) {
    if (!env.packageFile.empty() &&
        env.ui.MsgBox("This stage was opened from the package\r\n" + env.packageFile +
                          "\r\nThe package itself is not changed: the new music goes into the extracted copy "
                          "of its definition and lasts until the stage is closed.\r\nUpdate the copy?",
                      MsgIcon::Exclamation, MsgButtons::YesNoDefaultNo) != MsgAnswer::Yes)
        return false;
    // The shown name is no reference to write: "None" only says there is no music, and the stage's
    // own value has lost its folder and letter case on the way to the screen (the engine resolves
    // both). So an unchanged choice writes the stage's reference exactly as it was.
    chooser.ChosenMusic = chooser.MusicPicked ? chooser.CurMusic : env.stage.MusicRef;
    const int16_t volume = text::RoundClampInt16(text::LeadingNumber(chooser.VolumeText));
    std::string error;
    if (!ChangeMusic(env.stageFile, chooser.ChosenMusic, volume, error)) {
        env.ui.MsgBox(error, MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    if (chooser.MusicPicked) env.stage.MusicFile = chooser.ChosenMusic;
    env.stage.MusicRef = chooser.ChosenMusic;
    chooser.Caption = "Changes saved...";
    env.stage.BgVolume = volume;
    ++chooser.Revision;
    return true;
}

void ShowMusicTime(MusicChooser& chooser, clsMusic& music) {
    const std::string time = Sec2Min(music.Position());
    if (time == chooser.Time) return;
    chooser.Time = time;
    ++chooser.Revision;
}

}  // namespace qb
