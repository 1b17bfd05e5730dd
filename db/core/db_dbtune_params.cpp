// The DBTUNE parameter table: every parameter name the store knows, with the
// record field that holds its value, its kinds, the older parameters it takes
// a value from (file import, migration), its built-in default and the
// built-in keywords that must hold it. The readers, the file reader and
// import, the export, the defaults inserter and the migration all ask this
// one table (db_dbtune_internal.h).
#include <stddef.h>
#include <strings.h>

#include <array>

#include "db/core/db_dbtune_internal.h"

namespace
{

const char S_storage[] = "EXTENT SIZE 16 NEXT SIZE 16 LOCK MODE ROW";
const char S_index[] = "FILLFACTOR 90";
const char S_rtree[] = " ";

constexpr uint8_t D = 1u << DBTUNE_KW_DEFAULTS;
constexpr uint8_t L = 1u << DBTUNE_KW_LOGFILE_DEFAULTS;
constexpr uint8_t N = 1u << DBTUNE_KW_NETWORK_DEFAULTS;
constexpr uint8_t NN = 1u << DBTUNE_KW_NETWORK_NETWORK;
constexpr uint8_t ND = 1u << DBTUNE_KW_NETWORK_DESC;
constexpr uint8_t DD = 1u << DBTUNE_KW_DATA_DICTIONARY;
constexpr uint8_t ALL = D | N | NN | ND | DD;
constexpr uint8_t VERS = D | N | NN | ND;

constexpr uint16_t LR = DBTUNE_KIND_LAYER_READ;
constexpr uint16_t DC = DBTUNE_KIND_DICTIONARY;
constexpr uint16_t FR = DBTUNE_KIND_LOGFILE_READ;
constexpr uint16_t RR = DBTUNE_KIND_RASTER_READ;
constexpr uint16_t IM = DBTUNE_KIND_IMPORT;
constexpr uint16_t OI = DBTUNE_KIND_OLD_INDEX;

#define S_LAYER(f) DBTUNE_IN_LAYER, DBTUNE_FIELD_CLAUSE, offsetof(DBTUNE_LAYER_CONFIG, f)
#define S_LOG(f) DBTUNE_IN_LOGFILE, DBTUNE_FIELD_CLAUSE, offsetof(DBTUNE_LOGFILE_CONFIG, f)
#define S_RAS(f) DBTUNE_IN_RASTER, DBTUNE_FIELD_CLAUSE, offsetof(DBTUNE_RASTER_CONFIG, f)
#define S_OLD(f, kind) DBTUNE_IN_LAYER, kind, offsetof(DBTUNE_LAYER_CONFIG, f)
#define S_NONE DBTUNE_IN_NONE, DBTUNE_FIELD_NONE, 0

// In the order of the file import's inserts, then the data dictionary's, the
// text parameters, the index parameters of older releases in the order the
// migration renames them, and the other parameters of older releases.
// Columns: name; record, field, offset; kinds; import fallback; legacy
// source; migration source; default; marks; rank among the defaults.
const DBTUNE_PARAM S_params[] = {
    {"B_STORAGE", S_LAYER(B_STORAGE), LR | IM, nullptr, 1, nullptr, S_storage, ALL, 2},
    {"B_INDEX_ROWID", S_LAYER(B_INDEX_ROWID), LR | IM, "B_INDEX_1", 2, "B_INDEX_1", S_index, ALL,
     3},
    {"B_RTREE", S_LAYER(B_RTREE), LR | IM, nullptr, 0, nullptr, S_rtree, D | N, 5},
    {"B_INDEX_USER", S_LAYER(B_INDEX_USER), LR | IM, "B_INDEX_1", 2, "B_INDEX_1", S_index, ALL, 4},
    {"A_STORAGE", S_LAYER(A_STORAGE), LR | IM, nullptr, 0, nullptr, S_storage, VERS, 6},
    {"A_INDEX_ROWID", S_LAYER(A_INDEX_ROWID), LR | IM, "A_INDEX_1", 0, "A_INDEX_1", S_index, VERS,
     7},
    {"A_INDEX_STATEID", S_LAYER(A_INDEX_STATEID), LR | IM, "A_INDEX_2", 0, "A_INDEX_1", S_index,
     VERS, 8},
    {"A_RTREE", S_LAYER(A_RTREE), LR | IM, nullptr, 0, nullptr, S_rtree, D | N, 10},
    {"A_INDEX_USER", S_LAYER(A_INDEX_USER), LR | IM, "A_INDEX_1", 0, "A_INDEX_1", S_index, VERS, 9},
    {"D_STORAGE", S_LAYER(D_STORAGE), LR | IM, nullptr, 0, nullptr, S_storage, VERS, 11},
    {"D_INDEX_STATE_ROWID", S_LAYER(D_INDEX_STATE_ROWID), LR | IM, "D_INDEX_1", 0, "D_INDEX_1",
     S_index, VERS, 12},
    {"D_INDEX_DELETED_AT", S_LAYER(D_INDEX_DELETED_AT), LR | IM, "D_INDEX_2", 0, "D_INDEX_2",
     S_index, VERS, 13},
    {"S_STORAGE", S_LAYER(S_STORAGE), LR | IM, nullptr, 0, nullptr, nullptr, 0, 0},
    {"LF_STORAGE", S_LOG(LF_STORAGE), FR | IM, nullptr, 0, nullptr, S_storage, L, 16},
    {"LF_INDEXES", S_LOG(LF_INDEXES), FR | IM, "LD_INDEX_1", 0, "LD_INDEX_1", S_index, L, 17},
    {"LD_STORAGE", S_LOG(LD_STORAGE), FR | IM, nullptr, 0, nullptr, S_storage, L, 18},
    {"LD_INDEX_DATA_ID", S_LOG(LD_INDEX_DATA_ID), FR | IM, "LD_INDEX_1", 0, "LD_INDEX_1", S_index,
     L, 19},
    {"LD_INDEX_ROWID", S_LOG(LD_INDEX_ROWID), FR | IM, "LD_INDEX_2", 0, "LD_INDEX_2", S_index, L,
     20},
    {"RAS_STORAGE", S_RAS(RAS_STORAGE), RR | IM, nullptr, 0, nullptr, nullptr, 0, 0},
    {"RAS_INDEX_ID", S_RAS(RAS_INDEX_ID), RR | IM, "RAS_INDEX_1", 0, "RAS_INDEX_1", nullptr, 0, 0},
    {"BND_STORAGE", S_RAS(BND_STORAGE), RR | IM, nullptr, 0, nullptr, nullptr, 0, 0},
    {"BND_INDEX_ID", S_RAS(BND_INDEX_ID), RR | IM, "BND_INDEX_1", 0, "BND_INDEX_1", nullptr, 0, 0},
    {"BND_INDEX_COMPOSITE", S_RAS(BND_INDEX_COMPOSITE), RR | IM, "BND_INDEX_2", 0, "BND_INDEX_2",
     nullptr, 0, 0},
    {"AUX_STORAGE", S_RAS(AUX_STORAGE), RR | IM, nullptr, 0, nullptr, nullptr, 0, 0},
    {"AUX_INDEX_COMPOSITE", S_RAS(AUX_INDEX_COMPOSITE), RR | IM, "AUX_INDEX_1", 0, "AUX_INDEX_1",
     nullptr, 0, 0},
    {"BLK_STORAGE", S_RAS(BLK_STORAGE), RR | IM, nullptr, 0, nullptr, nullptr, 0, 0},
    {"BLK_INDEX_COMPOSITE", S_RAS(BLK_INDEX_COMPOSITE), RR | IM, "BLK_INDEX_1", 0, "BLK_INDEX_1",
     nullptr, 0, 0},

    {"STATE_LINEAGES_TABLE", S_LAYER(STATE_LINEAGES_TABLE), DC, nullptr, 0, nullptr, S_storage, DD,
     21},
    {"STATES_TABLE", S_LAYER(STATES_TABLE), DC, nullptr, 0, nullptr, S_storage, DD, 22},
    {"STATES_INDEX", S_LAYER(STATES_INDEX), DC, nullptr, 0, nullptr, S_index, DD, 23},
    {"VERSIONS_TABLE", S_LAYER(VERSIONS_TABLE), DC, nullptr, 0, nullptr, S_storage, DD, 24},
    {"VERSIONS_INDEX", S_LAYER(VERSIONS_INDEX), DC, nullptr, 0, nullptr, S_index, DD, 25},
    {"MVTABLES_MODIFIED_TABLE", S_LAYER(MVTABLES_MODIFIED_TABLE), DC, nullptr, 0, nullptr,
     S_storage, DD, 26},
    {"MVTABLES_MODIFIED_INDEX", S_LAYER(MVTABLES_MODIFIED_INDEX), DC, nullptr, 0, nullptr, S_index,
     DD, 27},

    {"UI_TEXT", S_NONE, DBTUNE_KIND_TEXT, nullptr, 0, nullptr, "", D | L, 1},
    {"UI_NETWORK_TEXT", S_NONE, DBTUNE_KIND_TEXT, nullptr, 0, nullptr,
     "The network default configuration", N, 14},
    {"COMMENT", S_NONE, DBTUNE_KIND_TEXT, nullptr, 0, nullptr,
     "The base system initialization parameters for NETWORK_DEFAULTS", N, 15},

    {"B_INDEX_1", S_LAYER(B_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"A_INDEX_1", S_LAYER(A_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"A_INDEX_2", S_LAYER(A_INDEX_2), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"D_INDEX_1", S_LAYER(D_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"D_INDEX_2", S_LAYER(D_INDEX_2), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"LD_INDEX_1", S_LOG(LD_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"LD_INDEX_2", S_LOG(LD_INDEX_2), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"RAS_INDEX_1", S_RAS(RAS_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"BND_INDEX_1", S_RAS(BND_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"BND_INDEX_2", S_RAS(BND_INDEX_2), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"AUX_INDEX_1", S_RAS(AUX_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},
    {"BLK_INDEX_1", S_RAS(BLK_INDEX_1), OI, nullptr, 0, nullptr, nullptr, 0, 0},

    {"A_TBLSP", S_OLD(A_TBLSP, DBTUNE_FIELD_WORD), DBTUNE_KIND_OLD_WORD, nullptr, 0, nullptr,
     nullptr, 0, 0},
    {"A_IX_TBLSP", S_OLD(A_IX_TBLSP, DBTUNE_FIELD_WORD), DBTUNE_KIND_OLD_WORD, nullptr, 0, nullptr,
     nullptr, 0, 0},
    {"A_SBLOB_DBS", S_OLD(A_SBLOB_DBS, DBTUNE_FIELD_WORD), DBTUNE_KIND_OLD_WORD, nullptr, 0,
     nullptr, nullptr, 0, 0},
    {"A_CLUSTER", S_OLD(A_CLUSTER, DBTUNE_FIELD_INT16), DBTUNE_KIND_OLD_NUMBER, nullptr, 0, nullptr,
     nullptr, 0, 0},
    {"A_INIT", S_OLD(A_INIT, DBTUNE_FIELD_INT32), DBTUNE_KIND_OLD_NUMBER, nullptr, 0, nullptr,
     nullptr, 0, 0},
    {"A_NEXT", S_OLD(A_NEXT, DBTUNE_FIELD_INT32), DBTUNE_KIND_OLD_NUMBER, nullptr, 0, nullptr,
     nullptr, 0, 0},
    {"A_IX_FILL", S_OLD(A_IX_FILL, DBTUNE_FIELD_INT32), DBTUNE_KIND_OLD_NUMBER, nullptr, 0, nullptr,
     nullptr, 0, 0},
    {"A_LOCK_ROW", S_OLD(A_LOCK_ROW, DBTUNE_FIELD_INT32), DBTUNE_KIND_OLD_NUMBER, nullptr, 0,
     nullptr, nullptr, 0, 0},
};

#undef S_LAYER
#undef S_LOG
#undef S_RAS
#undef S_OLD
#undef S_NONE

constexpr size_t S_param_count = sizeof(S_params) / sizeof(S_params[0]);

// The built-in rows, keyword by keyword, each keyword's parameters by rank.
std::array<DBTUNE_BUILTIN, DBTUNE_BUILTIN_COUNT> S_make_builtins()
{
    std::array<DBTUNE_BUILTIN, DBTUNE_BUILTIN_COUNT> out{};
    size_t n = 0;
    for (int k = 0; k < DBTUNE_KW_COUNT; k++) {
        for (uint8_t rank = 1; rank <= DBTUNE_DEFAULT_RANKS; rank++) {
            for (const DBTUNE_PARAM &p : S_params) {
                if (p.default_rank == rank && (p.marks & (1u << k)) && n < out.size())
                    out[n++] = {k, &p};
            }
        }
    }
    return out;
}

} // namespace

const DBTUNE_PARAM *db_dbtune_param_table(size_t *count)
{
    if (count != nullptr)
        *count = S_param_count;
    return S_params;
}

const DBTUNE_PARAM *db_dbtune_param_find(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (const DBTUNE_PARAM &p : S_params)
        if (strcasecmp(p.name, name) == 0)
            return &p;
    return nullptr;
}

int32_t db_dbtune_param_is(const char *name, uint32_t kinds)
{
    const DBTUNE_PARAM *p = db_dbtune_param_find(name);
    return p != nullptr && (p->kinds & kinds) != 0 ? 1 : 0;
}

const DBTUNE_BUILTIN *db_dbtune_builtins(void)
{
    static const std::array<DBTUNE_BUILTIN, DBTUNE_BUILTIN_COUNT> builtins = S_make_builtins();
    return builtins.data();
}
