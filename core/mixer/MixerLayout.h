#pragma once

#include "core/mixer/Mixer.h"

// The lines and controls of one mixer as a table. The in-memory mixer and the ALSA backend both
// build one and answer the line and control queries of IMixer from it.
namespace linlangok {

class CMixerLayout {
public:
    // Line identifiers: destination d is d; source s of destination d is ((s + 1) << 16) | d.
    std::uint32_t AddDestination(std::uint32_t componentType, std::u16string name, std::uint32_t channels);
    std::uint32_t AddSource(
        std::uint32_t destinationLineId, std::uint32_t componentType, std::u16string name, std::uint32_t channels);
    // Adds a control to a line and returns its identifier (1, 2, …); the control's own identifier
    // is ignored. `items` are the list texts of a multiple-item control.
    std::uint32_t AddControl(std::uint32_t lineId, MixerControlInfo control, std::vector<MixerListItem> items = {});

    std::uint32_t DestinationCount() const { return static_cast<std::uint32_t>(m_destinations.size()); }
    std::optional<MixerLineInfo> Destination(std::uint32_t index) const;
    std::optional<MixerLineInfo> Source(std::uint32_t destination, std::uint32_t index) const;
    std::optional<MixerLineInfo> LineByComponentType(std::uint32_t componentType) const;
    std::optional<MixerLineInfo> LineById(std::uint32_t lineId) const;
    std::optional<MixerControlInfo> ControlByType(std::uint32_t lineId, std::uint32_t controlType) const;
    std::optional<std::vector<MixerListItem>> ListTexts(std::uint32_t controlId) const;

    // A control, or nullptr.
    const MixerControlInfo* Control(std::uint32_t controlId) const;
    // The number of channels a control holds values for: 1 when uniform, else its line's.
    std::uint32_t ValueChannels(std::uint32_t controlId) const;
    // The number of items a control holds values for: its item count when multiple, else 1.
    std::uint32_t ValueItems(std::uint32_t controlId) const;
    // Whether a read or write of `count` values as channels × items fits the control: at least one
    // channel and at most its own, all of its items.
    bool FitsValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::size_t count) const;

private:
    struct LineEntry {
        MixerLineInfo info;
        std::vector<std::uint32_t> controls;
    };
    struct DestinationEntry {
        LineEntry line;
        std::vector<LineEntry> sources;
    };
    struct ControlEntry {
        MixerControlInfo info;
        std::uint32_t channels = 1;
        std::vector<MixerListItem> items;
    };

    LineEntry* FindLine(std::uint32_t lineId);
    const LineEntry* FindLine(std::uint32_t lineId) const;

    std::vector<DestinationEntry> m_destinations;
    std::vector<ControlEntry> m_controls; // identifier = index + 1
};

// The line and control queries of IMixer answered from a layout.
class CLayoutMixer : public IMixer {
public:
    std::uint32_t DestinationCount() const override { return Layout().DestinationCount(); }
    std::optional<MixerLineInfo> Destination(std::uint32_t index) const override;
    std::optional<MixerLineInfo> Source(std::uint32_t destination, std::uint32_t index) const override;
    std::optional<MixerLineInfo> LineByComponentType(std::uint32_t componentType) const override;
    std::optional<MixerLineInfo> LineById(std::uint32_t lineId) const override;
    std::optional<MixerControlInfo> ControlByType(std::uint32_t lineId, std::uint32_t controlType) const override;
    std::optional<std::vector<MixerListItem>> ListTexts(std::uint32_t controlId) const override;

protected:
    virtual const CMixerLayout& Layout() const = 0;
};

} // namespace linlangok
