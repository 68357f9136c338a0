#include "stage/stage_loader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/sff_decoder.h"
#include "platform/sff2_file.h"
#include "platform/sff_file.h"
#include "stage/sff2_stage_sprites.h"
#include "stage/stage_version.h"
#include "platform/text_util.h"

namespace qb {

namespace {

constexpr int16_t kMaxCount = std::numeric_limits<int16_t>::max();

std::string SlashesForward(std::string_view s) {
    std::string out = text::Lower(s);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

bool IsAbsolute(std::string_view path) {
    // Content written on Windows names drives ("c:\..."); a native absolute path starts with "/".
    return path.find(':') != std::string_view::npos || (!path.empty() && path[0] == '/');
}

uint64_t SpriteKey(int32_t group, int16_t image) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(group)) << 16) ^ static_cast<uint16_t>(image);
}

// Positions from extreme deltas can leave the float range; keep them finite instead of overflowing.
float ToFloat(double v) {
    if (std::isnan(v)) return 0.0f;
    return static_cast<float>(
        std::clamp(v, -double(std::numeric_limits<float>::max()), double(std::numeric_limits<float>::max())));
}

bool IsPlainType(const std::string& type) {
    return type == "normal" || type == "parallax";
}

bool HasAction(const StageModel& stage, const BgElement& e) {
    return e.ActionIndex >= 0 && static_cast<size_t>(e.ActionIndex) < stage.Actions.size();
}

// A version 1 file cut short (a broken download, a copy that ran out of room) still opens: the
// sprites before the cut are drawn and the ones after it are missing. The log names the file, how many
// sprites could not be read and why, for the stage otherwise draws black with no word of it.
void ReportUnreadSprites(std::string_view bytes, const StageModel& stage, const std::string& file, ErrorLog& log) {
    const std::optional<SffIndex> index = ReadSffIndex(bytes);
    if (!index) return;
    const size_t read = std::min<size_t>(index->entries.size(), static_cast<size_t>(std::max<int16_t>(stage.SpriteCount, 0)));
    // Sprites the index holds whose pictures did not decode (their data is cut or garbled).
    size_t undecoded = 0;
    for (size_t j = 0; j < read && j < stage.Sprites.size(); ++j) {
        const SpriteEntry& e = stage.Sprites[j];
        if (e.Owner == -1 && !e.Bitmap && index->entries[j].DataSize() > 0) ++undecoded;
    }
    const size_t claimed = std::max<size_t>(index->header.imageCount, read);
    const size_t missing = claimed - read;
    if (missing + undecoded == 0) return;
    std::string why;
    if (missing > 0) {
        const uint32_t next = index->entries.empty() ? index->header.firstOffset : index->entries.back().next;
        why = static_cast<size_t>(next) + kSffSubHeaderSize > bytes.size()
                  ? "the file ends at byte " + std::to_string(bytes.size()) + ", before sprite " +
                        std::to_string(read + 1)
                  : "the chain of sprites breaks off after sprite " + std::to_string(read);
    }
    if (undecoded > 0) {
        if (!why.empty()) why += "; ";
        why += std::to_string(undecoded) + " picture" + (undecoded == 1 ? " is" : "s are") + " damaged";
    }
    log.Add(Problem{.kind = ProblemKind::SpritesNotRead,
                    .file = file,
                    .text = why,
                    .subject = std::to_string(claimed),
                    .code = static_cast<int32_t>(std::min<size_t>(missing + undecoded, INT32_MAX))});
}

}  // namespace

std::string LocateSpriteFile(const std::string& spriteFile, const std::string& defPath,
                             const std::string& mugeDir) {
    if (spriteFile.empty()) {
        if (defPath.size() < 4) return defPath + ".sff";
        return defPath.substr(0, defPath.size() - 4) + ".sff";
    }
    if (IsAbsolute(spriteFile)) return spriteFile;
    // An empty MUGEN directory is contained in every path; it must not turn "spr" into a path relative
    // to wherever the process happens to run.
    if (!mugeDir.empty() && SlashesForward(defPath).find(SlashesForward(mugeDir)) != std::string::npos)
        return mugeDir + spriteFile;
    return {};
}

std::string SpriteFileBesideDef(const std::string& spriteFile, const std::string& defPath) {
    // The bare file name: "stages\sub\x.sff" is looked for as "x.sff" beside the definition.
    return GetPath(defPath) + FileNameOf(spriteFile);
}

int16_t IndexSpriteFile(std::string_view bytes, SpriteTable& table, Progress* progress) {
    table.clear();
    std::optional<SffIndex> index = ReadSffIndex(bytes);
    if (!index) {
        table.resize(1);
        return 0;
    }
    // The table holds what the file really holds, never what a garbled header claims.
    const size_t count = std::min<size_t>(index->entries.size(), static_cast<size_t>(kMaxCount) - 1);
    table.resize(count + 1);
    for (size_t j = 0; j < count; ++j) {
        const SffSubHeader& sub = index->entries[j];
        SpriteEntry& entry = table[j];
        if (sub.IsLinked() && static_cast<size_t>(sub.linkedIndex) < table.size()) {
            const SpriteEntry& source = table[static_cast<size_t>(sub.linkedIndex)];
            entry.AxisX = source.AxisX;
            entry.AxisY = source.AxisY;
            entry.Width = source.Width;
            entry.Height = source.Height;
            entry.Bitmap = source.Bitmap;
            entry.Mask = 0;
            entry.Owner = static_cast<int16_t>(sub.linkedIndex);
        } else {
            entry.Owner = -1;
        }
        entry.Group = sub.group;
        entry.Image = sub.image;
        if (progress) progress->Step();
    }
    return static_cast<int16_t>(count);
}

void MatchSprites(StageModel& stage) {
    // First match wins, as a walk over the sprites in file order would give; a map keeps the cost at
    // sprites + elements + frames instead of their product.
    std::unordered_map<uint64_t, int16_t> first;
    const size_t count =
        std::min<size_t>(static_cast<size_t>(std::max<int16_t>(stage.SpriteCount, 0)), stage.Sprites.size());
    first.reserve(count);
    for (size_t j = 0; j < count; ++j)
        first.emplace(SpriteKey(stage.Sprites[j].Group, stage.Sprites[j].Image), static_cast<int16_t>(j));
    auto find = [&](int32_t group, int16_t image) -> int16_t {
        auto it = first.find(SpriteKey(group, image));
        if (it == first.end()) return -1;
        const SpriteEntry& s = stage.Sprites[static_cast<size_t>(it->second)];
        return (s.Group == group && s.Image == image) ? it->second : int16_t(-1);
    };

    for (BgElement& e : stage.Elements) {
        if (e.SpriteIndex != -1) continue;
        if (e.Type != "anim") {
            int16_t j = find(e.SpriteGroup, e.SpriteImage);
            // An animated floor without a sprite of its own measures itself by its first frame.
            if (j < 0 && e.ParallaxAnim && HasAction(stage, e) &&
                !stage.Actions[static_cast<size_t>(e.ActionIndex)].Frames.empty()) {
                const BgFrame& f = stage.Actions[static_cast<size_t>(e.ActionIndex)].Frames[0];
                j = find(f.Group, f.Image);
            }
            if (j < 0) continue;
            e.SpriteIndex = j;
            if (e.Mask == 1 && IsPlainType(e.Type)) stage.Sprites[static_cast<size_t>(j)].Mask = 1;
        } else if (HasAction(stage, e) && !stage.Actions[static_cast<size_t>(e.ActionIndex)].Frames.empty()) {
            const BgFrame& f = stage.Actions[static_cast<size_t>(e.ActionIndex)].Frames[0];
            int16_t j = find(f.Group, f.Image);
            if (j >= 0) e.SpriteIndex = j;
        }
    }

    // The first element's own animation keeps colour 0 opaque when that element is not a plain one.
    int32_t unmaskedAction = -1;
    if (!stage.Elements.empty() && !IsPlainType(stage.Elements[0].Type))
        unmaskedAction = stage.Elements[0].ActionIndex;
    for (size_t a = 0; a < stage.Actions.size(); ++a) {
        BgAction& action = stage.Actions[a];
        if (action.LoopStart == action.NumFrames + 1) action.LoopStart = 0;
        for (BgFrame& f : action.Frames) {
            if (f.SpriteIndex != -1) continue;
            int16_t j = find(f.Group, f.Image);
            if (j < 0) continue;
            f.SpriteIndex = j;
            if (static_cast<int32_t>(a) != unmaskedAction) stage.Sprites[static_cast<size_t>(j)].Mask = 1;
        }
    }
}

// Every action counts, as a controller may switch an element to any of them.
std::vector<uint8_t> DrawnSprites(const StageModel& stage) {
    std::vector<uint8_t> drawn(stage.Sprites.size(), 0);
    auto mark = [&](int j) {
        if (j >= 0 && static_cast<size_t>(j) < drawn.size()) drawn[static_cast<size_t>(j)] = 1;
    };
    for (const BgElement& e : stage.Elements) mark(e.SpriteIndex);
    for (const BgAction& a : stage.Actions)
        for (const BgFrame& f : a.Frames) mark(f.SpriteIndex);
    return drawn;
}

bool LoadSpriteFile(const LoadRequest& request, LoadResult& result, Progress& progress) {
    StageModel& stage = result.stage;
    const std::string& defPath = request.defPath;
    const std::string spr = stage.SpriteFile;
    // The one read of the sprite file: its bytes are indexed, decoded and stamped, then dropped. A file
    // that is there but cannot be read is an unreadable sprite file, not a missing one.
    std::string located = LocateSpriteFile(spr, defPath, request.mugeDir);
    std::optional<std::string> bytes;
    if (!located.empty()) bytes = ReadFileBytes(located, kMaxSpriteFileBytes);
    // Then relative to the definition's folder, as real stages write "../stage0.sff".
    if (!bytes && (located.empty() || !FileExists(located)) && !spr.empty() && !IsAbsolute(spr)) {
        const std::string besideDef = GetPath(defPath) + spr;
        if (FileExists(besideDef)) {
            located = besideDef;
            bytes = ReadFileBytes(located, kMaxSpriteFileBytes);
        }
    }
    if (!bytes && (located.empty() || !FileExists(located))) {
        located = SpriteFileBesideDef(spr.empty() ? FileNameOf(located) : spr, defPath);
        bytes = ReadFileBytes(located, kMaxSpriteFileBytes);
        if (!bytes && !FileExists(located)) {
            result.boxes.push_back({"SFF FILE:\r\n" + located + "\r\nCOULD NOT BE FOUND!",
                                    MsgIcon::Exclamation, MsgButtons::Ok, result.lineNumber,
                                    result.log.Records().size()});
            return false;
        }
    }
    const std::string resolved = ResolvePath(located);
    result.load.SpritesLoaded = true;
    const bool version2 = bytes && IsSff2(*bytes);
    if (version2) {
        stage.SpriteCount = IndexSff2StageSprites(*bytes, stage, result.log, resolved);
    } else if (!bytes || !ReadSffHeader(*bytes)) {
        result.log.Add(Problem{.kind = ProblemKind::UnreadableSpriteFile, .file = resolved});
        stage.Sprites.clear();
        stage.Sprites.resize(1);
        stage.SpriteCount = 0;
    } else {
        stage.SpriteCount = IndexSpriteFile(*bytes, stage.Sprites, &progress);
    }
    MatchSprites(stage);
    if (bytes && stage.SpriteCount > 0 && !version2) DecodeSffSprites(*bytes, stage.Sprites, stage.SpriteCount);
    if (bytes && !version2 && stage.SpriteCount >= 0) ReportUnreadSprites(*bytes, stage, resolved, result.log);
    // High-resolution and other modern stages blend the sprites their elements and animations name on
    // the 32-bit picture every frame: those get their colours as 32-bit words once.
    const std::vector<uint8_t> drawn = DrawnSprites(stage);
    if (version2) ExpandIndexedSprites(stage.Sprites, drawn);
    if (bytes && stage.SpriteCount > 0 && !version2 && IsModernStageModel(stage))
        ExpandSffBitmaps(stage.Sprites, kMaxDecodedBytes, &drawn);
    result.files.push_back(resolved);
    result.stamps.push_back(bytes ? StampOfBytes(*bytes, resolved) : StampOf(resolved));
    stage.SpriteFile = resolved;
    // The parse could not know the sprite file's version: modern stages draw windowdelta, so the
    // remark that it is not drawn is taken back for them.
    if (IsModernStageModel(stage)) DropWindowDeltaRemarks(result);
    return true;
}

void DropWindowDeltaRemarks(LoadResult& result) {
    const std::vector<Problem>& records = result.log.Records();
    // keptBefore[i]: how many records before record i stay (message boxes count their place so).
    std::vector<size_t> keptBefore(records.size() + 1, 0);
    std::vector<Problem> kept;
    for (size_t i = 0; i < records.size(); ++i) {
        keptBefore[i] = kept.size();
        if (records[i].kind != ProblemKind::WindowDelta) kept.push_back(records[i]);
    }
    keptBefore[records.size()] = kept.size();
    if (kept.size() == records.size()) return;
    for (LoadBox& box : result.boxes) box.logIndex = keptBefore[std::min(box.logIndex, records.size())];
    result.log.Clear();
    result.log.AddAll(kept);
}

int16_t CameraStartOffset(float startX) {
    const int64_t r = text::RoundClampInt32(startX);
    int64_t offset;
    if (r < -60)
        offset = r + 36;
    else if (r <= -37)
        offset = -39;
    else if (r <= 36)
        offset = r;
    else if (r <= 60)
        offset = 39;
    else
        offset = r - 36;
    return static_cast<int16_t>(std::clamp<int64_t>(offset, -32768, 32767));
}

namespace {

// The rules of the 1.0 and 1.1 engines for what the classic parse read its own way.
void ApplyModernElementRules(StageModel& stage) {
    const bool engine10 = IsEngine10Stage(stage);
    for (BgElement& e : stage.Elements) {
        // Spacing as written: one value sets no y spacing from 1.0 on (older stages copy x), and an
        // "anim" element without spacing on an axis is not tiled along it (its step is the spacing).
        e.TileSpacingX = e.TileSpacingWrittenX;
        e.TileSpacingY = e.TileSpacingOneValue ? (engine10 ? 0 : e.TileSpacingWrittenX) : e.TileSpacingWrittenY;
        // A window needs all four values; with fewer the element is drawn whole.
        if (e.WindowValues < 4) e.HasWindow = 0;
    }
}

}  // namespace

int16_t PlaceElements(StageModel& stage, float& minPosY) {
    if (stage.BoundHigh > 0) stage.BoundHigh = 0;
    const int16_t camOffsetX = CameraStartOffset(stage.StartX);
    // Elements stand where the camera's start offset has moved them (at the layers' camera scale).
    const double camOffset = camOffsetX * LayerCameraScale(stage);
    const bool modern = IsModernStageModel(stage);
    if (modern) ApplyModernElementRules(stage);
    int parent = -1;
    // Modern stages link to the root: the nearest earlier element without positionlink, placed or not.
    int root = -1;
    bool zLinkResolved = false;
    for (size_t i = 0; i < stage.Elements.size(); ++i) {
        BgElement& e = stage.Elements[i];
        if (modern) {
            // A linked element with no root before it is placed on its own and roots what follows.
            if (e.PositionLink == 0 || root < 0) {
                root = static_cast<int>(i);
                parent = -1;
            } else {
                parent = root;
            }
        }
        const bool anim = e.Type == "anim";
        // An animation that does not exist gives nothing to draw: the element is never placed.
        if (anim && !HasAction(stage, e)) continue;
        const BgAction* action = anim ? &stage.Actions[static_cast<size_t>(e.ActionIndex)] : nullptr;
        if (anim && e.SpriteIndex == -1) {
            for (size_t k = 1; k < action->Frames.size(); ++k) {
                if (action->Frames[k].SpriteIndex != -1) {
                    e.SpriteIndex = -2;
                    break;
                }
            }
        }
        const bool dummy = e.Type == "dummy";
        if (dummy || e.SpriteIndex != -1) {
            double ax = 0, ay = 0;
            if (!dummy && e.SpriteIndex >= 0 && static_cast<size_t>(e.SpriteIndex) < stage.Sprites.size()) {
                ax = stage.Sprites[static_cast<size_t>(e.SpriteIndex)].AxisX;
                ay = stage.Sprites[static_cast<size_t>(e.SpriteIndex)].AxisY;
            }
            // The first element has nothing before it to link to; it is placed on its own.
            if (e.PositionLink != 0 && (parent >= 0 || i > 0)) {
                if (parent < 0) parent = static_cast<int>(i) - 1;
                const BgElement& p = stage.Elements[static_cast<size_t>(parent)];
                e.PosX = ToFloat(double(p.StartX) + e.StartX - ax + 160 - camOffset * p.DeltaX);
                e.PosY = ToFloat(double(p.StartY) + e.StartY - ay);
                e.DeltaX = p.DeltaX;
                e.DeltaY = p.DeltaY;
                e.VelocityX = p.VelocityX;
                e.VelocityY = p.VelocityY;
                e.LinkParent = static_cast<int16_t>(parent);
            } else {
                parent = -1;
                e.BaseX = static_cast<float>(e.StartX);
                e.BaseY = static_cast<float>(e.StartY);
                e.PosX = ToFloat(double(e.StartX) - ax + 160 - camOffset * e.DeltaX);
                e.PosY = ToFloat(double(e.StartY) - ay);
            }
            if (e.PosY < minPosY) minPosY = e.PosY;
            e.Enabled = 1;
            e.Visible = dummy ? 0 : 1;
            // Resolved once: a later element whose id equals the index just stored is not the link.
            if (!zLinkResolved && stage.ZOffsetLink > 0 && stage.ZOffsetLink == e.Id) {
                stage.ZOffsetLink = static_cast<int16_t>(i);
                zLinkResolved = true;
            }
        }
        if (anim && !action->Frames.empty()) e.FrameTime = action->Frames[0].Time;
        if (e.ParallaxAnim && HasAction(stage, e) && !stage.Actions[static_cast<size_t>(e.ActionIndex)].Frames.empty())
            e.FrameTime = stage.Actions[static_cast<size_t>(e.ActionIndex)].Frames[0].Time;
    }
    // Classic stages pull boundhigh down to the highest element; the 1.x engines take it as written
    // (a sky that tiles upward is meant to be reached).
    if (stage.BoundHigh < minPosY && !IsModernStageModel(stage))
        stage.BoundHigh = text::RoundClampInt16(double(minPosY) + 1);
    return camOffsetX;
}

namespace {

void ResolveIds(const StageModel& stage, std::vector<int32_t>& ids, std::vector<int32_t>& read,
                int16_t& count) {
    const size_t n = static_cast<size_t>(std::max<int16_t>(count, 0));
    if (ids.size() < n) ids.resize(n, 0);
    if (n > 0 && ids.size() > n) ids.resize(n);
    read.assign(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(n));
    for (size_t m = 0; m < n; ++m) {
        bool found = false;
        for (size_t i = 0; i < stage.Elements.size(); ++i) {
            if (stage.Elements[i].Id != read[m]) continue;
            if (!found) {
                ids[m] = static_cast<int32_t>(i);
                found = true;
            } else if (count < kMaxCount) {
                ids.push_back(static_cast<int32_t>(i));
                ++count;
            }
        }
        if (!found) ids[m] = -1;
    }
}

}  // namespace

void ResolveControllerTargets(StageModel& stage) {
    for (BgCtrlDef& group : stage.CtrlDefs) {
        ResolveIds(stage, group.CtrlIds, group.CtrlIdsRead, group.CtrlIdCount);
        for (BgCtrl& c : group.Ctrls) {
            ResolveIds(stage, c.CtrlIds, c.CtrlIdsRead, c.CtrlIdCount);
            if (c.Type == "anim") {
                // An animation number no animation carries would be an index out of range later.
                int16_t index = -1;
                for (size_t a = 0; a < stage.Actions.size() && a < size_t(kMaxCount); ++a) {
                    if (stage.Actions[a].Number == c.Value) {
                        index = static_cast<int16_t>(a);
                        break;
                    }
                }
                c.Value = index;
            }
        }
    }
}

int32_t MusicVolume(int16_t bgVolume) {
    double v = text::RoundHalfEven((double(bgVolume) + 255.0) / 510.0 * 6000.0 - 6000.0);
    return static_cast<int32_t>(std::clamp(v, -10000.0, 0.0));
}

}  // namespace qb
