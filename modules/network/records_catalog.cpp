// The settings records of the network module.
#include "modules/network/network_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

const DbCatalogEntry kNetworkRecords[] = {
    {&kTimeRecord, 1},
    {&kPppoeRecord, 1},
    {&kNetworkRecord, 1},
    {&kPortRecord, 1},
    {&kPushMsgEventRecord, kPerChannel},
    {&kPushNvrEventRecord, 1},
    {&kDdnsRecord, 1},
    {&kEmailRecord, 1},
    {&kP2pRecord, 1},
    {&kSnmpRecord, 1},
    {&kMulticastRecord, 1},
    {&kSslParamsRecord, 1},
};

}  // namespace

std::span<const DbCatalogEntry> network_record_catalog() { return kNetworkRecords; }
