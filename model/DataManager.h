#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/DataPacket.h"

namespace qubra {

// What the records of one mapping may take together (record buffers and field images).
constexpr std::size_t MaxManagerFootprint = 64u << 20;

// The records of one device; finds fields by "record.field" or by a bare field name.
class TDataManager {
public:
    explicit TDataManager(std::string name = "");
    // Builds the records from a `datamanager` element.
    explicit TDataManager(const xmlNode* element);
    ~TDataManager();

    TDataManager(const TDataManager&) = delete;
    TDataManager& operator=(const TDataManager&) = delete;

    void LoadFromXML(const xmlNode* element);
    void Clear();
    // -1 for no packet or when the records would take more than MaxManagerFootprint.
    int AddPacket(std::unique_ptr<TDataPacket> packet);
    int AddPacketFromXML(const xmlNode* element);

    int PacketCount() const { return static_cast<int>(FPackets.size()); }
    TDataPacket* GetPacket(int index) const;
    TDataPacket* FindPacket(const std::string& name) const;

    TDataItem* FindItem(const std::string& name) const;
    TItemValue GetValue(const std::string& name) const;
    void SetValue(const std::string& name, const TItemValue& value);
    int ApplyDefaults();
    // The index of the first record of that type (ptOther: any) that takes data as its answer.
    int IndexOfAnswer(const TBytes& data, TPacketType packetType) const;

    const std::string& Name() const { return FName; }

private:
    std::vector<std::unique_ptr<TDataPacket>> FPackets;
    // The first record of each name and of each alias, and for each field name or alias the
    // first record that has such a field: a lookup takes the same time for any size of mapping.
    std::unordered_map<std::string, TDataPacket*> FByName;
    std::unordered_map<std::string, TDataPacket*> FByAlias;
    std::unordered_map<std::string, TDataPacket*> FByItemName;
    std::string FName;
    std::size_t FFootprint = 0;
};

} // namespace qubra
