// The stand-in host: arrays, allocator, console and error facility that the
// plug-ins' bridge compiles against in the unit tests.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

#include "standin.h"

struct mxArray_tag {
    mxClassID cls = mxDOUBLE_CLASS;
    std::vector<mwSize> dims;
    std::vector<unsigned char> bytes;
    bool complex = false;
    bool sparse = false;
};

namespace standin {

namespace {

struct Raised {
    std::string text;
};

struct CallState {
    Outcome* outcome = nullptr;
    std::map<void*, std::size_t> blocks;  // host blocks alive in this call
    std::set<mxArray*> created;           // arrays made by the command
    long allocations = 0;
    long fail_at = 0;
    HostFailure fail_how = HostFailure::null_answer;
    long interrupt_at = 0;
};

CallState state;
long pending_failure = 0;
HostFailure pending_how = HostFailure::null_answer;
long pending_interrupt = 0;

std::size_t element_size(mxClassID cls)
{
    switch (cls) {
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
        return 8;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
        return 4;
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
    case mxCHAR_CLASS:
        return 2;
    case mxCELL_CLASS:
    case mxSTRUCT_CLASS:
        return sizeof(void*);
    default:
        return 1;
    }
}

std::size_t element_count(const std::vector<mwSize>& dims)
{
    std::size_t n = 1;
    for (mwSize d : dims)
        n *= d;
    return n;
}

void store(mxArray* a, std::size_t k, double v)
{
    unsigned char* p = a->bytes.data() + k * element_size(a->cls);
    switch (a->cls) {
    case mxDOUBLE_CLASS: { double x = v; std::memcpy(p, &x, 8); break; }
    case mxSINGLE_CLASS: { float x = static_cast<float>(v); std::memcpy(p, &x, 4); break; }
    case mxINT8_CLASS: { auto x = static_cast<std::int8_t>(v); std::memcpy(p, &x, 1); break; }
    case mxUINT8_CLASS: { auto x = static_cast<std::uint8_t>(v); std::memcpy(p, &x, 1); break; }
    case mxINT16_CLASS: { auto x = static_cast<std::int16_t>(v); std::memcpy(p, &x, 2); break; }
    case mxUINT16_CLASS: { auto x = static_cast<std::uint16_t>(v); std::memcpy(p, &x, 2); break; }
    case mxCHAR_CLASS: { auto x = static_cast<std::uint16_t>(v); std::memcpy(p, &x, 2); break; }
    case mxINT32_CLASS: { auto x = static_cast<std::int32_t>(v); std::memcpy(p, &x, 4); break; }
    case mxUINT32_CLASS: { auto x = static_cast<std::uint32_t>(v); std::memcpy(p, &x, 4); break; }
    case mxINT64_CLASS: { auto x = static_cast<std::int64_t>(v); std::memcpy(p, &x, 8); break; }
    case mxUINT64_CLASS: { auto x = static_cast<std::uint64_t>(v); std::memcpy(p, &x, 8); break; }
    case mxLOGICAL_CLASS: { bool x = v != 0.0; std::memcpy(p, &x, 1); break; }
    default: break;
    }
}

bool allocation_allowed()
{
    ++state.allocations;
    const bool fails = state.fail_at > 0 && state.allocations == state.fail_at;
    if (fails && state.fail_how == HostFailure::raised_error)
        throw Raised{host_allocation_error};
    return !fails;
}

}  // namespace

ArrayPtr make_array(mxClassID cls, std::vector<std::size_t> dims, const std::vector<double>& values, bool complex,
                    bool sparse)
{
    auto* a = new mxArray_tag;
    a->cls = cls;
    a->dims.assign(dims.begin(), dims.end());
    a->complex = complex;
    a->sparse = sparse;
    const std::size_t n = element_count(a->dims);
    a->bytes.assign(n * element_size(cls) * (complex ? 2 : 1), 0);
    for (std::size_t k = 0; k < n && k < values.size(); ++k)
        store(a, k, values[k]);
    return ArrayPtr(a, [](mxArray* p) { delete p; });
}

ArrayPtr matrix(std::size_t rows, std::size_t columns, const std::vector<double>& row_major)
{
    std::vector<double> column_major(rows * columns, 0.0);
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < columns; ++j)
            if (i * columns + j < row_major.size())
                column_major[j * rows + i] = row_major[i * columns + j];
    return make_array(mxDOUBLE_CLASS, {rows, columns}, column_major);
}

ArrayPtr scalar(double value)
{
    return make_array(mxDOUBLE_CLASS, {1, 1}, {value});
}

ArrayPtr column(const std::vector<double>& values)
{
    return make_array(mxDOUBLE_CLASS, {values.size(), 1}, values);
}

ArrayPtr row(const std::vector<double>& values)
{
    return make_array(mxDOUBLE_CLASS, {1, values.size()}, values);
}

std::vector<double> values_of(const mxArray* array)
{
    const std::size_t n = element_count(array->dims);
    std::vector<double> out(n);
    if (n != 0)
        std::memcpy(out.data(), array->bytes.data(), n * sizeof(double));
    return out;
}

std::vector<std::size_t> dims_of(const mxArray* array)
{
    return std::vector<std::size_t>(array->dims.begin(), array->dims.end());
}

mxClassID class_of(const mxArray* array)
{
    return array->cls;
}

const char* const host_allocation_error = "failed to allocate memory";

void fail_host_allocation_at(long k, HostFailure how)
{
    pending_failure = k;
    pending_how = how;
}

void interrupt_at_poll(long k)
{
    pending_interrupt = k;
}

Outcome call(MexEntry entry, int nlhs, const std::vector<ArrayPtr>& inputs)
{
    Outcome outcome;
    state = CallState{};
    state.outcome = &outcome;
    state.fail_at = pending_failure;
    state.fail_how = pending_how;
    state.interrupt_at = pending_interrupt;
    pending_failure = 0;
    pending_how = HostFailure::null_answer;
    pending_interrupt = 0;

    std::vector<std::vector<unsigned char>> before;
    std::vector<const mxArray*> prhs;
    for (const auto& in : inputs) {
        before.push_back(in->bytes);
        prhs.push_back(in.get());
    }
    std::vector<mxArray*> plhs(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1), nullptr);

    try {
        entry(nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.data());
    } catch (const Raised& raised) {
        outcome.raised = true;
        outcome.error = raised.text;
    }

    for (std::size_t k = 0; k < inputs.size(); ++k)
        if (inputs[k]->bytes != before[k])
            outcome.inputs_unchanged = false;

    // Arrays in the output slots pass to the caller; on an error the host
    // discards them like every other array the command made.
    for (mxArray* out : plhs) {
        if (out != nullptr && !outcome.raised && state.created.erase(out) != 0)
            outcome.outputs.push_back(ArrayPtr(out, [](mxArray* p) { delete p; }));
        else
            outcome.outputs.push_back(nullptr);
    }
    for (mxArray* leftover : state.created)
        delete leftover;
    outcome.reclaimed_blocks = state.blocks.size();
    for (auto& block : state.blocks)
        std::free(block.first);
    outcome.host_allocations = state.allocations;
    state = CallState{};
    return outcome;
}

namespace {
const std::function<void()>* pending_body = nullptr;
void run_body(int, mxArray*[], int, const mxArray*[])
{
    (*pending_body)();
}
}  // namespace

Outcome within_call(const std::function<void()>& body)
{
    pending_body = &body;
    Outcome outcome = call(run_body, 0, {});
    pending_body = nullptr;
    return outcome;
}

}  // namespace standin

using standin::state;

extern "C" {

mwSize mxGetNumberOfDimensions(const mxArray* array)
{
    return array->dims.size();
}

const mwSize* mxGetDimensions(const mxArray* array)
{
    return array->dims.data();
}

double mxGetScalar(const mxArray* array)
{
    if (array->bytes.empty())
        return 0.0;
    const unsigned char* p = array->bytes.data();
    switch (array->cls) {
    case mxDOUBLE_CLASS: { double x; std::memcpy(&x, p, 8); return x; }
    case mxSINGLE_CLASS: { float x; std::memcpy(&x, p, 4); return x; }
    case mxINT8_CLASS: return static_cast<std::int8_t>(p[0]);
    case mxUINT8_CLASS: return p[0];
    case mxINT16_CLASS: { std::int16_t x; std::memcpy(&x, p, 2); return x; }
    case mxUINT16_CLASS: { std::uint16_t x; std::memcpy(&x, p, 2); return x; }
    case mxINT32_CLASS: { std::int32_t x; std::memcpy(&x, p, 4); return x; }
    case mxUINT32_CLASS: { std::uint32_t x; std::memcpy(&x, p, 4); return x; }
    case mxINT64_CLASS: { std::int64_t x; std::memcpy(&x, p, 8); return static_cast<double>(x); }
    case mxUINT64_CLASS: { std::uint64_t x; std::memcpy(&x, p, 8); return static_cast<double>(x); }
    case mxLOGICAL_CLASS: return p[0] != 0 ? 1.0 : 0.0;
    default: return 0.0;
    }
}

double* mxGetPr(const mxArray* array)
{
    return reinterpret_cast<double*>(const_cast<unsigned char*>(array->bytes.data()));
}

void* mxGetData(const mxArray* array)
{
    return const_cast<unsigned char*>(array->bytes.data());
}

mxClassID mxGetClassID(const mxArray* array)
{
    return array->cls;
}

bool mxIsNumeric(const mxArray* array)
{
    return array->cls >= mxDOUBLE_CLASS && array->cls <= mxUINT64_CLASS;
}

bool mxIsLogical(const mxArray* array)
{
    return array->cls == mxLOGICAL_CLASS;
}

bool mxIsComplex(const mxArray* array)
{
    return array->complex;
}

bool mxIsSparse(const mxArray* array)
{
    return array->sparse;
}

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID classid, mxComplexity flag)
{
    if (!standin::allocation_allowed())
        return nullptr;
    auto* a = new mxArray_tag;
    a->cls = classid;
    a->dims.assign(dims, dims + ndim);
    a->complex = flag == mxCOMPLEX;
    a->bytes.assign(standin::element_count(a->dims) * standin::element_size(classid), 0);
    state.created.insert(a);
    return a;
}

// A strict host: a request for zero bytes is refused like an exhausted one.
void* mxCalloc(size_t n, size_t size)
{
    if (!standin::allocation_allowed() || n == 0 || size == 0)
        return nullptr;
    void* block = std::calloc(n, size);
    if (block != nullptr)
        state.blocks[block] = n * size;
    return block;
}

void* mxRealloc(void* ptr, size_t size)
{
    if (!standin::allocation_allowed() || size == 0)
        return nullptr;
    if (ptr != nullptr && state.blocks.count(ptr) == 0)
        throw std::logic_error("mxRealloc of a block the host does not know");
    void* block = std::realloc(ptr, size);
    if (block == nullptr)
        return nullptr;
    if (ptr != nullptr)
        state.blocks.erase(ptr);
    state.blocks[block] = size;
    return block;
}

void mxFree(void* ptr)
{
    if (ptr == nullptr)
        return;
    if (state.blocks.erase(ptr) == 0)
        throw std::logic_error("mxFree of a block the host does not know");
    std::free(ptr);
}

int mexPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    if (state.outcome != nullptr)
        state.outcome->console += text;
    return length;
}

void mexWarnMsgTxt(const char* text)
{
    if (state.outcome != nullptr)
        state.outcome->warnings.emplace_back(text);
}

void mexErrMsgTxt(const char* text)
{
    throw standin::Raised{text};
}

bool utIsInterruptPending()
{
    if (state.outcome == nullptr)
        return false;
    const long poll = ++state.outcome->interrupt_polls;
    return state.interrupt_at > 0 && poll >= state.interrupt_at;
}

void mexAddFlops(int count)
{
    if (state.outcome != nullptr) {
        state.outcome->work += static_cast<unsigned int>(count);
        state.outcome->work_calls.push_back(count);
    }
}

}  // extern "C"
