/* Command codes: every request on a channel opens with one, a 32-bit signed
 * integer naming the operation the peer asks for, followed by that
 * operation's records. The library does not dispatch on them: the server
 * process reads a code with CH_read_command and calls the matching entry
 * points itself.
 *
 * A peer of the older release numbers the operations differently. On a
 * channel made with the old-release flag, CH_write_command sends a code in
 * the older numbering and refuses an operation that release lacks;
 * CH_read_command never translates what it reads. */
#ifndef CH_COMMAND_H
#define CH_COMMAND_H

#include <stdint.h>

#include "base/system/ch_channel.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The codes with their names, X(code, Name), in order of code. */
#define CH_COMMAND_LIST(X)                                                                         \
    X(0, GetConnectionError)                                                                       \
    X(1, GetConnectionErrorString)                                                                 \
    X(2, GetstreamError)                                                                           \
    X(3, LayerCreate)                                                                              \
    X(4, LayerDelete)                                                                              \
    X(5, LayerAlter)                                                                               \
    X(6, GetFeatureType)                                                                           \
    X(7, GetFeatureTypeByName)                                                                     \
    X(8, GetAllFeatureTypes)                                                                       \
    X(9, LockFeatureType)                                                                          \
    X(10, LockFeatureTypeArea)                                                                     \
    X(11, ModifyAreaLock)                                                                          \
    X(12, FreeLock)                                                                                \
    X(13, FreeAllLocks)                                                                            \
    X(14, AttributeStats)                                                                          \
    X(15, OpenLog)                                                                                 \
    X(16, CloseLog)                                                                                \
    X(17, DeleteLog)                                                                               \
    X(18, LogId)                                                                                   \
    X(19, LogIdList)                                                                               \
    X(20, BeginTransaction)                                                                        \
    X(21, CommitTransaction)                                                                       \
    X(22, RollbackTransaction)                                                                     \
    X(23, Shutdown)                                                                                \
    X(24, TableCreate)                                                                             \
    X(25, TableDelete)                                                                             \
    X(26, TableDescribe)                                                                           \
    X(27, TableList)                                                                               \
    X(28, DatabaseList)                                                                            \
    X(29, DatabaseUse)                                                                             \
    X(30, TableGetPermissions)                                                                     \
    X(31, TableCreateIndex)                                                                        \
    X(32, TableDeleteIndex)                                                                        \
    X(33, SortLog)                                                                                 \
    X(34, LogCount)                                                                                \
    X(35, LayerGetEnvelope)                                                                        \
    X(36, GetEnvelopeByLog)                                                                        \
    X(37, SetAutoCommit)                                                                           \
    X(38, SetLogType)                                                                              \
    X(39, CombineLogs)                                                                             \
    X(40, CopyLog)                                                                                 \
    X(41, MakeLogName)                                                                             \
    X(42, GetRlsVersion)                                                                           \
    X(43, GetServerTime)                                                                           \
    X(44, CreateStream)                                                                            \
    X(45, DeleteStream)                                                                            \
    X(46, CloseStream)                                                                             \
    X(47, SetStreamSpec)                                                                           \
    X(48, GetStreamSpec)                                                                           \
    X(49, PrepareSql)                                                                              \
    X(50, ExecuteSql)                                                                              \
    X(51, SendBlob)                                                                                \
    X(52, NextBuffer)                                                                              \
    X(53, QueryLayer)                                                                              \
    X(54, ExecuteSpatialQuery)                                                                     \
    X(55, SetSpatialConstraints)                                                                   \
    X(56, QueryLogfile)                                                                            \
    X(57, FetchRow)                                                                                \
    X(58, SetLogFile)                                                                              \
    X(59, InsertTable)                                                                             \
    X(60, ExecuteInsertTable)                                                                      \
    X(61, UpdateTable)                                                                             \
    X(62, ExecuteUpdateTable)                                                                      \
    X(63, ExecuteUpdateRow)                                                                        \
    X(64, SetRow)                                                                                  \
    X(65, UpdateRow)                                                                               \
    X(66, DeleteRow)                                                                               \
    X(67, SetWriteMode)                                                                            \
    X(68, FlushBufferedWrites)                                                                     \
    X(69, LayerGrantAccess)                                                                        \
    X(70, LayerRevokeAccess)                                                                       \
    X(71, LayerStatistics)                                                                         \
    X(72, LayerSiStatistics)                                                                       \
    X(73, GetLayerLocks)                                                                           \
    X(74, LayerShapeAttributeName)                                                                 \
    X(75, LayersTableLastModified)                                                                 \
    X(76, RegistrationAlter)                                                                       \
    X(77, RegistrationCreate)                                                                      \
    X(78, RegistrationDelete)                                                                      \
    X(79, RegistrationGetById)                                                                     \
    X(80, RegistrationGetByName)                                                                   \
    X(81, RegistrationGetDiffList)                                                                 \
    X(82, RegistrationGetList)                                                                     \
    X(83, RowIdsGetRange)                                                                          \
    X(84, RowIdsReturnRange)                                                                       \
    X(85, TableGrantAccess)                                                                        \
    X(86, TableRevokeAccess)                                                                       \
    X(87, TableRename)                                                                             \
    X(88, TableAddColumn)                                                                          \
    X(89, TableDropColumn)                                                                         \
    X(90, TableCreateIndexes)                                                                      \
    X(91, TableDescribeIndexes)                                                                    \
    X(92, TableCreateView)                                                                         \
    X(93, TableLock)                                                                               \
    X(94, TableFreeLock)                                                                           \
    X(95, TableGetLocks)                                                                           \
    X(96, TableAddLocator)                                                                         \
    X(97, TableDeleteLocator)                                                                      \
    X(98, TableGetLocator)                                                                         \
    X(99, VersionAlter)                                                                            \
    X(100, VersionChangeState)                                                                     \
    X(101, VersionCreate)                                                                          \
    X(102, VersionDelete)                                                                          \
    X(103, VersionRename)                                                                          \
    X(104, VersionGet)                                                                             \
    X(105, VersionGetList)                                                                         \
    X(106, StateClose)                                                                             \
    X(107, StateCompressTree)                                                                      \
    X(108, StateCreate)                                                                            \
    X(109, StateDelete)                                                                            \
    X(110, StateDeleteLayer)                                                                       \
    X(111, StateLock)                                                                              \
    X(112, StateMerge)                                                                             \
    X(113, StateOpen)                                                                              \
    X(114, StateTrimTree)                                                                          \
    X(115, StateUnlock)                                                                            \
    X(116, StateGet)                                                                               \
    X(117, StateGetList)                                                                           \
    X(118, StreamCopyStateRows)                                                                    \
    X(119, StreamSetState)                                                                         \
    X(120, StreamRestoreRows)                                                                      \
    X(121, StreamDeleteByIds)                                                                      \
    X(122, StreamDeleteWhere)                                                                      \
    X(123, StreamEquivalenceRows)                                                                  \
    X(124, StreamUnequivalenceRows)                                                                \
    X(125, GetDbmsInfo)                                                                            \
    X(126, StreamInvokeSsa)                                                                        \
    X(127, StreamSetSsaFilter)                                                                     \
    X(128, SsaExecute)                                                                             \
    X(129, RasterColumnAlter)                                                                      \
    X(130, RasterColumnCreate)                                                                     \
    X(131, RasterColumnDelete)                                                                     \
    X(132, RasterColumnGetById)                                                                    \
    X(133, RasterColumnGetByName)                                                                  \
    X(134, RasterColumnGetList)                                                                    \
    X(135, RasterColumnGrantAccess)                                                                \
    X(136, RasterColumnRevokeAccess)                                                               \
    X(137, RasterBandAlter)                                                                        \
    X(138, RasterBandCreate)                                                                       \
    X(139, RasterBandDelete)                                                                       \
    X(140, RasterBandGetById)                                                                      \
    X(141, RasterBandGetList)                                                                      \
    X(142, RasterCreate)                                                                           \
    X(143, RasterDelete)                                                                           \
    X(144, RasterGetById)                                                                          \
    X(145, RasterAddBand)                                                                          \
    X(146, RasterDropBand)                                                                         \
    X(147, StreamNextRasterBuffer)                                                                 \
    X(148, StreamSetRasterConstraints)                                                             \
    X(149, StreamQueryRasterTile)                                                                  \
    X(150, LogOpenByLoginfo)                                                                       \
    X(151, LogGetByName)                                                                           \
    X(152, LogGetByOwner)                                                                          \
    X(153, LogGetByTable)                                                                          \
    X(154, LogGetOpenLoginfo)                                                                      \
    X(155, LogCreate)                                                                              \
    X(156, LogAlter)                                                                               \
    X(157, LogCountIds)                                                                            \
    X(158, LogGetIdList)                                                                           \
    X(159, LogDeleteIdList)                                                                        \
    X(160, RowLockAdd)                                                                             \
    X(161, RowLockRemove)                                                                          \
    X(162, RowLockGet)                                                                             \
    X(163, RowLockGetByUser)                                                                       \
    X(164, RowLockSetStream)                                                                       \
    X(165, LayerShapeAttrNameResolve)                                                              \
    X(166, UpdateSdoDimTable)                                                                      \
    X(167, GetDbmsFunction)                                                                        \
    X(168, SpatialRefAlter)                                                                        \
    X(169, SpatialRefCreate)                                                                       \
    X(170, SpatialRefDelete)                                                                       \
    X(171, SpatialRefGetInfo)                                                                      \
    X(172, SpatialRefGetInfoList)                                                                  \
    X(173, TableMetadataAlter)                                                                     \
    X(174, TableMetadataAdd)                                                                       \
    X(175, TableMetadataDelete)                                                                    \
    X(176, TableMetadataDeleteWhere)                                                               \
    X(177, TableMetadataGetList)                                                                   \
    X(178, MetadataGetById)                                                                        \
    X(179, MetadataGetList)                                                                        \
    X(180, DbmsQualifyRules)                                                                       \
    X(181, TableCreateIMVView)                                                                     \
    X(182, TableDeleteIMVView)                                                                     \
    X(183, LocatorAlter)                                                                           \
    X(184, LocatorCreate)                                                                          \
    X(185, LocatorDelete)                                                                          \
    X(186, LocatorGetInfo)                                                                         \
    X(187, LocatorGetInfoById)                                                                     \
    X(188, LocatorGetInfoList)                                                                     \
    X(189, StreamCalcAttributeStats)                                                               \
    X(190, StreamCalcLayerEnvelope)                                                                \
    X(191, StreamCalcLayerStats)                                                                   \
    X(192, LogGrantAccess)                                                                         \
    X(193, LogRevokeAccess)                                                                        \
    X(194, ApplicationIdsSet)                                                                      \
    X(195, TableUpdateDbmsStats)                                                                   \
    X(196, ObjectLockLock)                                                                         \
    X(197, ObjectLockUnlock)                                                                       \
    X(198, ObjectLockGetList)                                                                      \
    X(199, VersionLock)                                                                            \
    X(200, VersionUnlock)                                                                          \
    X(201, VersionGetLocks)                                                                        \
    X(202, VersionGetById)                                                                         \
    X(203, GetDbmsResKeyword)                                                                      \
    X(204, UpdateOrdered)                                                                          \
    X(205, RowIdsGetRangeByName)                                                                   \
    X(206, RowIdsReturnRangeByName)                                                                \
    X(207, ConvertBinaryLayer)                                                                     \
    X(208, ConvertBinaryTable)                                                                     \
    X(209, RasterBandGetStats)                                                                     \
    X(210, RasterBandGetColorMap)                                                                  \
    X(211, RegistrationGetDependentTab)                                                            \
    X(212, GetDbUserName)                                                                          \
    X(213, GetZeldbaName)                                                                          \
    X(214, QueryWithInfo)                                                                          \
    X(215, DBTuneImport)                                                                           \
    X(216, DBTuneExport)                                                                           \
    X(217, TableCreateLongIndex)

/* CH_CMD_GetConnectionError (0) to CH_CMD_TableCreateLongIndex (217). */
enum CH_COMMAND_CODE {
#define CH_COMMAND_ENUM(code, name) CH_CMD_##name = code,
    CH_COMMAND_LIST(CH_COMMAND_ENUM)
#undef CH_COMMAND_ENUM
        CH_COMMAND_COUNT = 218 /* codes 0 to 217 */
};

/* Sends code as one long. On an old-release channel the code is first put
 * into the older numbering: -88 (nothing sent) for an operation that
 * release lacks, -1 with a message on standard error for a code outside 0
 * to 217. A code outside the table goes unchanged to a current peer.
 * Otherwise the transport's status. */
ZEL_API int32_t CH_write_command(CH_CHANNEL *channel, int32_t code);
/* Reads one long into *code, untranslated: 0 or the transport's status. */
ZEL_API int32_t CH_read_command(CH_CHANNEL *channel, int32_t *code);

#ifdef __cplusplus
}
#endif

#endif
