#include "engine/GlimraCell.h"

#include <new>

#include "engine/GlimraRandom.h"
#include "engine/GridEdge.h"

namespace {

class CreatureBaseClass final : public GlimraCreatureClass {
public:
    CreatureBaseClass() : GlimraCreatureClass("vGlimraCreature") {}
};

const CreatureBaseClass g_creatureClass;
vGlimraClassList* g_classList = nullptr;

} // namespace

int32_t NothingWeight = 0;

void GlimraCreatureClass::PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const {
    (void)dc;
    (void)glyphWidth;
    (void)glyphHeight;
}

int32_t GlimraCreatureClass::ChooseStartCell(int32_t last) const {
    (void)last;
    return 0;
}

CreatureClassRef GlimraCreatureClass::AlphabetClass() const {
    return vGlimraCreature::Class();
}

CreatureClassRef vGlimraCreature::Class() {
    return &g_creatureClass;
}

void vGlimraCreature::Tick(int32_t counter) {
    vGlimraTicker::Tick(counter);
    if (!IsFinished())
        StepForward();
}

void vGlimraCreature::StepBack() {
    State = State - 1;
    if (Cyclic && State < 0)
        State = StateCount - 1;
}

void vGlimraCreature::StepForward() {
    State = State + 1;
    if (Cyclic && State >= StateCount)
        State = 0;
}

vGlimraCell::vGlimraCell(vGlimraColony* colony, int32_t row) : m_colony(colony), m_row(row) {
}

vGlimraCell::~vGlimraCell() {
    FreeCreature();
}

void vGlimraCell::Tick(int32_t counter) {
    vGlimraTicker::Tick(counter);
    if (!m_creature)
        return;
    if (m_creature->State == -1) {
        FreeCreature();
        return;
    }
    // The creature may replace itself here, so nothing of it is touched once its Tick returns.
    m_creature->Tick(counter);
}

bool vGlimraCell::Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) {
    if (!m_creature)
        return false;
    const int64_t key = m_creature->PictureKey();
    if (key == m_pictureKey && key != vGlimraCreature::RepaintAlways)
        return false;
    m_creature->Draw(dc, left, top, width, height);
    m_pictureKey = key;
    return true;
}

vGlimraCreature* vGlimraCell::Spawn(CreatureClassRef creatureClass) {
    if (creatureClass == nullptr)
        return m_creature.get();
    std::unique_ptr<vGlimraCreature> creature = creatureClass->Create();
    if (creature)
        Place(std::move(creature));
    return m_creature.get();
}

void vGlimraCell::Place(std::unique_ptr<vGlimraCreature> creature) {
    // The old occupant goes first, before the newcomer is linked, as its destructor may still
    // expect to be the cell's creature.
    FreeCreature();
    m_creature = std::move(creature);
    m_pictureKey = vGlimraCreature::RepaintAlways;
    if (m_creature) {
        m_creature->Cell = this;
        if (m_colony != nullptr)
            m_colony->NoteOccupied(m_row, true);
    }
}

std::unique_ptr<vGlimraCreature> vGlimraCell::Detach() {
    if (m_creature) {
        m_creature->Cell = nullptr;
        if (m_colony != nullptr)
            m_colony->NoteOccupied(m_row, false);
    }
    m_pictureKey = vGlimraCreature::RepaintAlways;
    return std::move(m_creature);
}

void vGlimraCell::FreeCreature() {
    // Reset before deleting, so that the cell never points at a creature being destroyed.
    std::unique_ptr<vGlimraCreature> doomed = std::move(m_creature);
    m_pictureKey = vGlimraCreature::RepaintAlways;
    if (doomed && m_colony != nullptr)
        m_colony->NoteOccupied(m_row, false);
    doomed.reset();
}

int32_t vGlimraCell::IndexInColony() const {
    if (m_colony == nullptr || m_colony->CellAt(m_row) != this)
        return -1;
    return m_row;
}

vGlimraCell* vGlimraCell::NextCell() const {
    const int32_t index = IndexInColony();
    return index == -1 ? nullptr : m_colony->CellAt(index + 1);
}

vGlimraCell* vGlimraCell::PreviousCell() const {
    const int32_t index = IndexInColony();
    return index == -1 ? nullptr : m_colony->CellAt(index - 1);
}

vGlimraColony::vGlimraColony(int32_t rows) {
    if (rows <= 0)
        return;
    m_occupied.assign((static_cast<size_t>(rows) + 63) / 64, 0);
    m_cells = std::allocator<vGlimraCell>().allocate(static_cast<size_t>(rows));
    for (; m_count < rows; ++m_count)
        new (m_cells + m_count) vGlimraCell(this, m_count);
}

vGlimraColony::~vGlimraColony() {
    Clear();
}

vGlimraCell* vGlimraColony::CellAt(int32_t index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return &m_cells[index];
}

void vGlimraColony::PlaceNew(vGlimraCell* cell, CreatureClassRef creatureClass) {
    if (cell != nullptr)
        cell->Spawn(creatureClass);
}

void vGlimraColony::NoteOccupied(int32_t row, bool occupied) {
    const size_t word = static_cast<size_t>(row) / 64;
    if (row < 0 || word >= m_occupied.size())
        return;
    const uint64_t bit = uint64_t{1} << (row % 64);
    if (((m_occupied[word] & bit) != 0) == occupied)
        return;
    m_occupied[word] ^= bit;
    m_occupants += occupied ? 1 : -1;
}

int32_t vGlimraColony::NextOccupied(int32_t row) const {
    if (row < 0)
        row = 0;
    size_t word = static_cast<size_t>(row) / 64;
    if (word >= m_occupied.size())
        return m_count;
    uint64_t bits = m_occupied[word] & (~uint64_t{0} << (row % 64));
    while (bits == 0) {
        if (++word >= m_occupied.size())
            return m_count;
        bits = m_occupied[word];
    }
    const int32_t found = static_cast<int32_t>(word * 64) + std::countr_zero(bits);
    return found < m_count ? found : m_count;
}

int32_t vGlimraColony::Tick(int32_t counter) {
    if (m_occupants == 0)
        return 0;
    const int32_t count = Count();
    int32_t ticked = 0;
    // Creatures lie scattered on the heap, and a walk that met each one as it came would wait for
    // them one at a time. Asked for all at once, before any tick's own work, the column's creatures
    // arrive together. The hints change nothing of what happens.
    for (int32_t row = NextOccupied(0); row < count; row = NextOccupied(row + 1)) {
        const auto creature = reinterpret_cast<uintptr_t>(m_cells[row].Creature());
        // Two lines: a static's fields run past the first. A hint past a smaller creature's end
        // reads nothing and cannot fault.
        __builtin_prefetch(reinterpret_cast<const void*>(creature));
        __builtin_prefetch(reinterpret_cast<const void*>(creature + 64));
    }
    for (int32_t row = NextOccupied(0); row < count; row = NextOccupied(row + 1)) {
        m_cells[row].Tick(counter);
        ++ticked;
    }
    return ticked;
}

int32_t vGlimraColony::Draw(Pixmap& dc, int32_t left, int32_t width, int32_t height,
                            std::span<const int32_t> tops) {
    const int32_t count = Count();
    if (count <= 0 || m_occupants == 0)
        return 0;
    const bool laidOut = tops.size() == static_cast<size_t>(count) + 1;
    const int32_t cellHeight = laidOut ? tops[1] : GridEdge(1, height, count);
    int32_t drawn = 0;
    for (int32_t row = NextOccupied(0); row < count; row = NextOccupied(row + 1)) {
        vGlimraCell& cell = m_cells[row];
        const int32_t top = laidOut ? tops[static_cast<size_t>(row)] : GridEdge(row, height, count);
        drawn += cell.Draw(dc, left, top, width, cellHeight) ? 1 : 0;
    }
    return drawn;
}

void vGlimraColony::ForgetPictures() {
    for (int32_t row = 0; row < m_count; ++row)
        m_cells[row].ForgetPicture();
}

void vGlimraColony::Clear() {
    // The creatures go first, top to bottom, while every cell still stands, so that nothing a
    // creature's destruction might look at has gone; then the empty cells.
    for (int32_t row = 0; row < m_count; ++row)
        m_cells[row].FreeCreature();
    const int32_t count = m_count;
    m_count = 0;
    for (int32_t row = 0; row < count; ++row)
        m_cells[row].~vGlimraCell();
    if (m_cells != nullptr)
        std::allocator<vGlimraCell>().deallocate(m_cells, static_cast<size_t>(count));
    m_cells = nullptr;
    m_occupied.clear();
    m_occupants = 0;
}

int32_t vGlimraClassList::Add(CreatureClassRef creatureClass, int32_t weight) {
    Append(std::make_unique<vGlimraClass>(creatureClass)).Weight = weight;
    return Count() - 1;
}

vGlimraClassList* ClassList() {
    return g_classList;
}

void InitializeGlimraCell() {
    if (g_classList == nullptr)
        g_classList = new vGlimraClassList;
    NothingWeight = 0;
}

void FinalizeGlimraCell() {
    delete g_classList;
    g_classList = nullptr;
    NothingWeight = 0;
}

int32_t RegisterCreatureClass(CreatureClassRef creatureClass, int32_t weight) {
    if (g_classList == nullptr)
        return -1;
    return g_classList->Add(creatureClass, weight);
}

vGlimraClass* FindCreatureClass(CreatureClassRef creatureClass) {
    return g_classList == nullptr ? nullptr : g_classList->Find(creatureClass);
}

vGlimraClass* ChooseCreatureClass() {
    if (g_classList == nullptr)
        return nullptr;
    // 64-bit sums: hand-edited weights near the int32 limits must not overflow.
    int64_t total = 0;
    for (int32_t i = 0; i < g_classList->Count(); ++i) {
        const int32_t weight = g_classList->Item(i)->Weight;
        if (weight > 0)
            total += weight;
    }
    total += NothingWeight;
    if (total + 1 <= 0)
        return nullptr;
    const int64_t draw = Random64(total + 1);
    int64_t running = 0;
    for (int32_t i = 0; i < g_classList->Count(); ++i) {
        vGlimraClass* entry = g_classList->Item(i);
        if (entry->Weight == 0)
            continue;
        running += entry->Weight;
        if (running > draw)
            return entry;
    }
    return nullptr;
}

void PrepareCreatureClasses(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) {
    if (g_classList == nullptr)
        return;
    for (int32_t i = 0; i < g_classList->Count(); ++i)
        g_classList->Item(i)->CreatureClass->PrepareGlyphs(dc, glyphWidth, glyphHeight);
}
