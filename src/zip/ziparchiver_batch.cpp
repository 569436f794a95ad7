// Tagged batches: selecting items by the search rules, then running one operation over the
// tagged ones with the events every batch raises (confirmation, progress, failure with retry,
// ignore or abort). Extraction, testing, deleting and refreshing each hand in their own step.
#include <algorithm>

#include "zip/os/os.h"
#include "zip/zadecode.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

std::string slashesToBackslashes(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

} // namespace

void TZABaseArchiver::TagFiles() {
    TZADirArray& dir = dirManager_->CentralDir;
    dir.ClearTags();
    TZAArchiveItem item;
    for (bool found = FindFirst(item); found; found = FindNext(item)) dir.SetTag(item.InternalSearchRec.Index, 1);
}

void TZABaseArchiver::TagFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    TZADirArray& dir = dirManager_->CentralDir;
    dir.ClearTags();
    TZAArchiveItem item;
    for (bool found = FindFirst(fileMask, item, exclusionMask, searchAttr); found; found = FindNext(item)) {
        dir.SetTag(item.InternalSearchRec.Index, 1);
    }
}

std::string TZABaseArchiver::destinationFolder() const {
    std::string folder = BaseDir.empty() ? zaos::currentDirectory() : BaseDir;
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    return folder;
}

void TZABaseArchiver::ProcessTaggedFiles(TZAProcessOperation operation, const TZATaggedStep& step) {
    BatchLock lock;
    TZADirArray& dir = dirManager_->CentralDir;
    ProcessedFileCount = 0;
    SelectedFileCount = dir.TaggedCount();
    Cancel = false;
    ProgressEnabled = true;
    const bool extractOrTest = operation == poExtract || operation == poTest;
    // Extracting or testing several items: each next one is decoded on a second thread while the
    // current one is written or checked (the files, their order and the events stay the same).
    // One item at a time gains nothing: under Wine, waking the worker for each call cost more than
    // the decoding it took over.
    struct TBatchScope {
        std::shared_ptr<TZAPrefetcher>& prefetch;
        std::vector<int>& order;
        ~TBatchScope() {
            prefetch.reset();
            order.clear();
        }
    } batchScope{prefetch_, batchOrder_};
    if constexpr (kDecodeAhead) {
        if (extractOrTest && SelectedFileCount >= 2 && spanningMode_ == smNone && zadetail::extractionPrefetch()) {
            batchOrder_.reserve(static_cast<std::size_t>(SelectedFileCount));
            for (int i = dir.NextTagged(0); i >= 0; i = dir.NextTagged(i + 1)) batchOrder_.push_back(i);
            prefetch_ = std::make_shared<TZAPrefetcher>();
        } else if (operation == poExtract && SelectedFileCount == 1 && !plannedNext_.empty() &&
                   zadetail::extractionPrefetch()) {
            // One planned item of several calls: the decoder and its thread outlive the call.
            if (!plannedPrefetch_) plannedPrefetch_ = std::make_shared<TZAPrefetcher>();
            prefetch_ = plannedPrefetch_;
        }
    }
    if (extractOrTest) DoOnOverallProgress(0, operation, ppStart, Cancel);
    const bool cancelledAtStart = Cancel;
    if (!Cancel) {
        // Only the tagged items are visited, in the order of the directory.
        for (int i = dir.NextTagged(0); i >= 0;) {
            TDirItem& entry = *dir.GetItemPtr(i);
            entry.Operation = static_cast<std::uint8_t>(operation);
            const std::string storedName = entry.FileName;
            bool leave = false;
            bool removed = false;
            do {
                FailureAction = fxaIgnore;
                const std::string itemName = slashesToBackslashes(storedName);
                bool confirm = true;
                DoOnConfirmProcessFile(itemName, operation, confirm);
                if (!confirm) break;
                const std::string destDir = destinationFolder();
                if (extractOrTest) {
                    DoOnFileProgress(storedName, 0, operation, ppStart, Cancel);
                    if (Cancel) {
                        leave = true;
                        break;
                    }
                }
                bool failed = false;
                int nativeError = 0, errorCode = 0;
                std::string message;
                try {
                    const int before = dir.GetCount();
                    step(i, itemName, destDir);
                    // A step that removed its item (a delete) left the next one at this index.
                    if (dir.GetCount() < before) removed = true;
                } catch (const EZAException& e) {
                    failed = true;
                    nativeError = e.NativeError;
                    errorCode = e.ErrorCode;
                    message = e.Message;
                }
                if (extractOrTest) {
                    bool cancel = Cancel;
                    DoOnFileProgress(storedName, 100, operation, ppEnd, cancel);
                    Cancel = Cancel || cancel;
                }
                if (Cancel) {
                    leave = true;
                    break;
                }
                ++ProcessedFileCount;
                if (failed) DoOnProcessFileFailure(itemName, operation, nativeError, errorCode, message, FailureAction);
            } while (FailureAction == fxaRetry);
            if (leave || FailureAction == fxaAbort || Cancel) break;
            // A removed item left the next one at its index.
            i = dir.NextTagged(removed ? i : i + 1);
        }
    }
    if (!cancelledAtStart && extractOrTest) {
        bool cancel = Cancel;
        DoOnOverallProgress(100, operation, ppEnd, cancel);
        Cancel = Cancel || cancel;
    }
    if (Cancel || FailureAction == fxaAbort) CancelUpdate();
}

} // namespace tarnwick
