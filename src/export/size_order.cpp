// Builds the size-ordered span list: count from the record, spans from the host, then the sort.
#include "export/size_order.h"

#include "export/size_sort_paths.h"
#include "host/host_tables.h"

namespace {

constexpr DWORD kExchangeSortMost = 2048;

}  // namespace

DWORD BatchedSortInLargestArea(ArticleSpan* spans, DWORD count)
{
    for (DWORD batch = count - count / 2; batch > kStaticBatchSpans; batch -= batch / 2) {
        const DWORD bytes = BatchAreaBytes(count, batch);
        void* area = bytes == 0 ? nullptr : VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
        if (area == nullptr) continue;
        BatchedSortBySize(spans, count, batch, area);
        VirtualFree(area, 0, MEM_RELEASE);  // cannot fail for a region this call reserved
        return batch;
    }
    BatchedSortBySize(spans, count, 0, nullptr);
    return 0;
}

void SortSpansBySize(ArticleSpan* spans, DWORD count)
{
    if (count < 2) return;
    const DWORD scratchBytes = FastSortScratchBytes(count);
    void* scratch =
        scratchBytes == 0 ? nullptr : VirtualAlloc(nullptr, scratchBytes, MEM_COMMIT, PAGE_READWRITE);
    if (scratch == nullptr) {
        // The literal sort only where it is quick anyway: a few milliseconds at this count.
        if (count <= kExchangeSortMost) {
            ExchangeSortBySize(spans, count);
        } else {
            BatchedSortInLargestArea(spans, count);
        }
        return;
    }
    FastSortBySize(spans, count, scratch);
    VirtualFree(scratch, 0, MEM_RELEASE);  // cannot fail for a region this call reserved
}

SizeOrder BuildSizeOrder(const BYTE* record)
{
    SizeOrder order = {nullptr, RecordArticleCount(record)};
    if (order.Count == 0 || order.Count > MAXDWORD / sizeof(ArticleSpan)) return order;
    const auto fill = HostProcedure<FillArticleSpansProc>(kFillArticleSpansWord);
    if (fill == nullptr) return order;

    void* memory = VirtualAlloc(nullptr, order.Count * sizeof(ArticleSpan), MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr) return order;
    order.List = static_cast<ArticleSpan*>(memory);
    fill(record, order.List);
    SortSpansBySize(order.List, order.Count);
    return order;
}
