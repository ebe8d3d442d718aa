#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/GlimraOwningList.h"
#include "engine/GlimraTicker.h"
#include "glyphs/GlimraClassRef.h"
#include "raster/Pixmap.h"

class vGlimraCreature;
class vGlimraCell;
class vGlimraColony;
// The class object of a behaviour: its virtual constructor and its class-level operations, which
// a subclass's class object overrides as an instance's operations would be. A behaviour's class
// object derives from the class object of the behaviour it derives from, so class-level
// operations are inherited the same way.
class GlimraCreatureClass {
public:
    explicit GlimraCreatureClass(const char* name) : m_name(name) {}
    virtual ~GlimraCreatureClass() = default;
    GlimraCreatureClass(const GlimraCreatureClass&) = delete;
    GlimraCreatureClass& operator=(const GlimraCreatureClass&) = delete;

    const char* Name() const { return m_name; }

    // The virtual constructor. Abstract behaviours give nothing.
    virtual std::unique_ptr<vGlimraCreature> Create() const { return nullptr; }
    // Renders the behaviour's glyph strips, once, before the first tick.
    virtual void PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const;
    // The row a new creature of the class starts in; last is the index of the column's bottom cell.
    virtual int32_t ChooseStartCell(int32_t last) const;
    // The key of the class's glyph strips and glyph record.
    virtual CreatureClassRef AlphabetClass() const;
    // The number of colour steps of the class; 0 for behaviours that have no fade of their own.
    virtual int32_t ConfiguredStates() const { return 0; }

private:
    const char* m_name;
};

// A small state machine living in one cell: ticked by the cell, drawn into the cell's rectangle,
// and freed by the cell once it has marked itself dead (State -1). Cells own creatures; a creature
// that places another creature into its own cell has been destroyed when Place returns, and must
// return at once without touching itself.
class vGlimraCreature : public vGlimraTicker {
public:
    vGlimraCreature() = default;
    // Has nothing of its own to release and does not touch Cell.
    ~vGlimraCreature() override = default;
    vGlimraCreature(const vGlimraCreature&) = delete;
    vGlimraCreature& operator=(const vGlimraCreature&) = delete;

    static CreatureClassRef Class();
    // The class object of this creature's own class.
    virtual CreatureClassRef InstanceClass() const = 0;

    void Tick(int32_t counter) override;
    virtual void StepBack();
    virtual void StepForward();
    virtual void Move() {}
    // Called in every state, -1 and StateCount included, with the cell's rectangle on dc.
    virtual void Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) = 0;
    virtual bool IsFinished() const { return State >= StateCount || State < 0; }
    virtual void Kill() { State = -1; }
    // A value that stands for the picture Draw paints in the creature's present state. While it
    // stays the same, another Draw into the same cell would only put back the pixels the last one
    // left there, so the cell skips it. A creature whose picture depends on more than its own
    // fields answers RepaintAlways.
    virtual int64_t PictureKey() const { return RepaintAlways; }
    static constexpr int64_t RepaintAlways = INT64_MIN;

    int32_t State = 0;
    int32_t StateCount = 0;
    vGlimraCell* Cell = nullptr;
    bool Cyclic = false;
};

// One cell of a column. It holds at most one creature and owns it.
class vGlimraCell final : public vGlimraTicker {
public:
    vGlimraCell(vGlimraColony* colony, int32_t row);
    ~vGlimraCell() override;
    vGlimraCell(const vGlimraCell&) = delete;
    vGlimraCell& operator=(const vGlimraCell&) = delete;

    vGlimraCreature* Creature() const { return m_creature.get(); }
    vGlimraColony* Colony() const { return m_colony; }

    // Frees a killed creature without ticking it; ticks a living one.
    void Tick(int32_t counter) override;
    // Has the creature paint itself unless the cell already shows the picture it would paint;
    // true when the creature was asked to paint. The cell's rectangle and surface must be those of
    // its previous Draw, or ForgetPicture must have been called since.
    bool Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height);
    // The next Draw paints whatever the creature shows, as after a change of surface or layout.
    void ForgetPicture() { m_pictureKey = vGlimraCreature::RepaintAlways; }

    // Constructs a creature of the class, then places it (destroying the occupant); returns it.
    vGlimraCreature* Spawn(CreatureClassRef creatureClass);
    // Destroys the occupant, if any, then links the creature to this cell.
    void Place(std::unique_ptr<vGlimraCreature> creature);
    // Unlinks the occupant without freeing it and hands it over.
    std::unique_ptr<vGlimraCreature> Detach();
    void FreeCreature();

    // The row of this cell in its colony (0 = top), or -1 when the colony does not hold it.
    int32_t IndexInColony() const;
    vGlimraCell* NextCell() const;
    vGlimraCell* PreviousCell() const;

private:
    std::unique_ptr<vGlimraCreature> m_creature;
    vGlimraColony* m_colony;
    // The grid never changes after construction, so the row is remembered rather than searched.
    int32_t m_row;
    // The occupant's PictureKey at its last Draw here, RepaintAlways when the cell does not know
    // its picture. Any change of occupant forgets it: a new creature at a freed one's address is
    // another picture.
    int64_t m_pictureKey = vGlimraCreature::RepaintAlways;
};

// The cells of one column, index 0 at the top.
class vGlimraColony {
public:
    explicit vGlimraColony(int32_t rows);
    ~vGlimraColony();
    vGlimraColony(const vGlimraColony&) = delete;
    vGlimraColony& operator=(const vGlimraColony&) = delete;

    int32_t Count() const { return m_count; }
    vGlimraCell* CellAt(int32_t index) const;
    void PlaceNew(vGlimraCell* cell, CreatureClassRef creatureClass);
    // Ticks the occupied cells top to bottom; a creature placed below the cell being ticked is
    // ticked in the same pass, one placed above it or into it is not, as in a walk over every cell.
    // Returns the number of cells ticked.
    int32_t Tick(int32_t counter);
    // Returns the number of cells whose creature was asked to paint. tops, when it holds Count() + 1
    // values, are the row edges GridEdge gives for height, worked out by the caller.
    int32_t Draw(Pixmap& dc, int32_t left, int32_t width, int32_t height, std::span<const int32_t> tops = {});
    void ForgetPictures();
    // Frees the cells top to bottom.
    void Clear();
    // How many cells hold a creature.
    int32_t Occupants() const { return m_occupants; }

private:
    friend class vGlimraCell;
    void NoteOccupied(int32_t row, bool occupied);
    // The occupied row at or after row, or Count() when there is none. It reads the live set, so a
    // walk that asks again after each step sees creatures placed below it on the way.
    int32_t NextOccupied(int32_t row) const;

    // One block for the column, built once: a walk reads the cells in memory order, and a large
    // grid pays no allocation per cell.
    vGlimraCell* m_cells = nullptr;
    int32_t m_count = 0;
    // A bit per row, set while the cell holds a creature: the walks skip empty cells a word at a
    // time, so most of a sparse column costs nothing.
    std::vector<uint64_t> m_occupied;
    int32_t m_occupants = 0;
};

// One registered behaviour and its weight in the weighted choice.
class vGlimraClass {
public:
    explicit vGlimraClass(CreatureClassRef creatureClass) : CreatureClass(creatureClass) {}

    CreatureClassRef Key() const { return CreatureClass; }

    CreatureClassRef CreatureClass;
    int32_t Weight = 50;
};

class vGlimraClassList : public GlimraOwningList<vGlimraClass> {
public:
    vGlimraClass* Item(int32_t index) const { return ItemAt(index); }
    vGlimraClass* Find(CreatureClassRef creatureClass) const { return FindBy(creatureClass); }
    int32_t Add(CreatureClassRef creatureClass, int32_t weight);
};

// The weight of choosing no behaviour at all.
extern int32_t NothingWeight;

// The class list lives from InitializeGlimraCell to FinalizeGlimraCell; nil outside.
vGlimraClassList* ClassList();
void InitializeGlimraCell();
void FinalizeGlimraCell();

int32_t RegisterCreatureClass(CreatureClassRef creatureClass, int32_t weight);
vGlimraClass* FindCreatureClass(CreatureClassRef creatureClass);
// Draws a registered class by weight; nil means no behaviour.
vGlimraClass* ChooseCreatureClass();
void PrepareCreatureClasses(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight);
