#include "model/DataManager.h"

#include "model/Xml.h"

namespace qubra {

TDataManager::TDataManager(std::string name) : FName(std::move(name)) {}

TDataManager::TDataManager(const xmlNode* element) { LoadFromXML(element); }

TDataManager::~TDataManager() { Clear(); }

void TDataManager::LoadFromXML(const xmlNode* element)
{
    if (!element) throw Exception("TDataManager::LoadFromXML> iNode je nil.");
    FName = Attribute(element, "name");
    Clear();
    for (const xmlNode* child : ChildElements(element))
        if (NodeName(child) == "datapacket") AddPacketFromXML(child);
}

void TDataManager::Clear()
{
    FPackets.clear();
    FByName.clear();
    FByAlias.clear();
    FByItemName.clear();
    FFootprint = 0;
}

int TDataManager::AddPacket(std::unique_ptr<TDataPacket> packet)
{
    if (!packet || FFootprint + packet->Footprint() > MaxManagerFootprint) return -1;
    FFootprint += packet->Footprint();
    TDataPacket* added = packet.get();
    FByName.try_emplace(added->Name(), added);
    FByAlias.try_emplace(added->Alias().empty() ? added->Name() : added->Alias(), added);
    for (int i = 0; i < added->ItemCount(); ++i) {
        FByItemName.try_emplace(added->GetItem(i)->Name(), added);
        if (!added->GetItem(i)->Alias().empty()) FByItemName.try_emplace(added->GetItem(i)->Alias(), added);
    }
    FPackets.push_back(std::move(packet));
    return PacketCount() - 1;
}

int TDataManager::AddPacketFromXML(const xmlNode* element)
{
    try {
        return AddPacket(std::make_unique<TDataPacket>(element));
    } catch (const Exception&) {
        return -1;
    }
}

TDataPacket* TDataManager::GetPacket(int index) const
{
    return index >= 0 && index < PacketCount() ? FPackets[index].get() : nullptr;
}

TDataPacket* TDataManager::FindPacket(const std::string& name) const
{
    if (const auto named = FByName.find(name); named != FByName.end()) return named->second;
    const auto aliased = FByAlias.find(name);
    return aliased != FByAlias.end() ? aliased->second : nullptr;
}

TDataItem* TDataManager::FindItem(const std::string& name) const
{
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        const TDataPacket* packet = FindPacket(name.substr(0, dot));
        return packet ? packet->FindItem(name.substr(dot + 1)) : nullptr;
    }
    const auto owner = FByItemName.find(name);
    return owner != FByItemName.end() ? owner->second->FindItem(name) : nullptr;
}

TItemValue TDataManager::GetValue(const std::string& name) const
{
    const TDataItem* item = FindItem(name);
    return item ? item->GetValue() : TItemValue();
}

void TDataManager::SetValue(const std::string& name, const TItemValue& value)
{
    TDataItem* item = FindItem(name);
    if (!item) throw ItemNotFound(name);
    item->SetValue(value);
}

int TDataManager::ApplyDefaults()
{
    int count = 0;
    for (const auto& packet : FPackets) count += packet->ApplyDefaults();
    return count;
}

int TDataManager::IndexOfAnswer(const TBytes& data, TPacketType packetType) const
{
    if (data.empty()) return -1;
    for (int i = 0; i < PacketCount(); ++i) {
        const TDataPacket& packet = *FPackets[i];
        if (packetType != ptOther && packet.PacketType() != packetType) continue;
        if (packet.IsAnswer(data)) return i;
    }
    return -1;
}

} // namespace qubra
