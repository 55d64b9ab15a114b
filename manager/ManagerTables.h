// The manager's tables as one list, and what a handle owns.
//
// A handle owns its buffer, its model root, every table's record and
// accessor, and the two stream objects, each through a std::unique_ptr. The
// public pointer fields of CVR_MANGR (m_pBuffer, m_pModel, m_pRTR_VMGI, ...)
// and the record slots of VMG_MODEL name what it owns; they change only
// through the functions here, so that owner and name never part.
#ifndef VRMANGR_MANAGER_MANAGERTABLES_H
#define VRMANGR_MANAGER_MANAGERTABLES_H

#include <memory>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "io/CBuffer.h"
#include "manager/CVR_MANGR.h"
#include "tables/CMNFIT.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"

namespace vrm {

template <class Member>
struct PointeeOf;
template <class Class, class T>
struct PointeeOf<T * Class::*> {
    using Type = T;
};

// One table of the management file: its place in the file order, the
// manager's accessor field and the model's record slot.
template <CVR_MANGR::Table kIndex, auto kAccessorField, auto kRecordSlot>
struct ManagerTable {
    static constexpr CVR_MANGR::Table index = kIndex;
    using Accessor = typename PointeeOf<decltype(kAccessorField)>::Type;
    using Record = typename PointeeOf<decltype(kRecordSlot)>::Type;
    static Accessor*& AccessorIn(CVR_MANGR& m) { return m.*kAccessorField; }
    static Accessor* AccessorIn(const CVR_MANGR& m) { return m.*kAccessorField; }
    static Record*& RecordIn(VMG_MODEL& model) { return model.*kRecordSlot; }
    // What a handle holds of the table.
    struct Owner {
        std::unique_ptr<Record> record;
        std::unique_ptr<Accessor> accessor;
    };
};

// The manager's tables in file order, the one list that a handle's making,
// copy, hand-over and release go by.
using ManagerTableList = std::tuple<ManagerTable<CVR_MANGR::kRTR_VMGI, &CVR_MANGR::m_pRTR_VMGI, &VMG_MODEL::pRTR_VMGI>,
                                    ManagerTable<CVR_MANGR::kM_AVFIT, &CVR_MANGR::m_pM_AVFIT, &VMG_MODEL::pM_AVFIT>,
                                    ManagerTable<CVR_MANGR::kS_AVFIT, &CVR_MANGR::m_pS_AVFIT, &VMG_MODEL::pS_AVFIT>,
                                    ManagerTable<CVR_MANGR::kORG_PGCI, &CVR_MANGR::m_pORG_PGCI, &VMG_MODEL::pORG_PGCI>,
                                    ManagerTable<CVR_MANGR::kUD_PGCIT, &CVR_MANGR::m_pUD_PGCIT, &VMG_MODEL::pUD_PGCIT>,
                                    ManagerTable<CVR_MANGR::kTXTDT_MG, &CVR_MANGR::m_pTXTDT_MG, &VMG_MODEL::pTXTDT_MG>,
                                    ManagerTable<CVR_MANGR::kMNFIT, &CVR_MANGR::m_pMNFIT, &VMG_MODEL::pMNFIT>>;
static_assert(std::tuple_size<ManagerTableList>::value == CVR_MANGR::kTableCount, "every table once");

template <CVR_MANGR::Table t>
using TableAt = std::tuple_element_t<t, ManagerTableList>;

// Calls f(table) for each entry of the list, in file order.
template <class F>
void ForEachTable(F&& f) {
    std::apply([&](auto... table) { (f(table), ...); }, ManagerTableList{});
}

template <class List>
struct OwnersOf;
template <class... Table>
struct OwnersOf<std::tuple<Table...>> {
    using Type = std::tuple<typename Table::Owner...>;
};

// What a handle owns. Reached only through the functions below.
struct ManagerObjects {
    std::unique_ptr<CBuffer> buffer;
    std::unique_ptr<VMG_MODEL> model;
    std::unique_ptr<CVR_MOVIE> movie;
    std::unique_ptr<CVR_STILL> still;
    OwnersOf<ManagerTableList>::Type tables;
};

struct ManagerTables {
    template <CVR_MANGR::Table t>
    static typename TableAt<t>::Owner& OwnerOf(CVR_MANGR& m) {
        return std::get<t>(m.m_pObjects->tables);
    }
    // Points the handle's fields at what it owns.
    static void ShowOwned(CVR_MANGR& m);
};

// Makes record the model's record of table t (null: the table is absent),
// releasing the one before and its accessor. Returns the record.
template <CVR_MANGR::Table t>
typename TableAt<t>::Record* SetRecord(CVR_MANGR& m, std::unique_ptr<typename TableAt<t>::Record> record) {
    if (!m.m_pModel) return nullptr;
    auto& owner = ManagerTables::OwnerOf<t>(m);
    owner.accessor.reset();
    TableAt<t>::AccessorIn(m) = nullptr;
    owner.record = std::move(record);
    TableAt<t>::RecordIn(*m.m_pModel) = owner.record.get();
    return owner.record.get();
}

// A new, empty record of table t in the model; null when out of memory.
template <CVR_MANGR::Table t>
typename TableAt<t>::Record* NewRecord(CVR_MANGR& m) {
    using Record = typename TableAt<t>::Record;
    std::unique_ptr<Record> record(new (std::nothrow) Record());
    return record ? SetRecord<t>(m, std::move(record)) : nullptr;
}

// Makes accessor the manager's accessor of table t, releasing the one
// before. Returns it.
template <CVR_MANGR::Table t>
typename TableAt<t>::Accessor* SetAccessor(CVR_MANGR& m, std::unique_ptr<typename TableAt<t>::Accessor> accessor) {
    auto& owner = ManagerTables::OwnerOf<t>(m);
    owner.accessor = std::move(accessor);
    TableAt<t>::AccessorIn(m) = owner.accessor.get();
    return owner.accessor.get();
}

// The manager's accessor of table t, made over the model's record when
// missing; null when the model has no such record (or out of memory).
template <CVR_MANGR::Table t>
typename TableAt<t>::Accessor* Bound(CVR_MANGR& m) {
    using Accessor = typename TableAt<t>::Accessor;
    if (!m.m_pModel || !TableAt<t>::RecordIn(*m.m_pModel)) return nullptr;
    if (Accessor* accessor = TableAt<t>::AccessorIn(m)) return accessor;
    std::unique_ptr<Accessor> made(new (std::nothrow) Accessor(TableAt<t>::RecordIn(*m.m_pModel)));
    return made ? SetAccessor<t>(m, std::move(made)) : nullptr;
}

// Table t leaves the model: record and accessor released.
template <CVR_MANGR::Table t>
void DropTable(CVR_MANGR& m) {
    SetRecord<t>(m, nullptr);
}

}  // namespace vrm

#endif
