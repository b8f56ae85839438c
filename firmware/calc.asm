; Boot and the calculator: integer entries with + - * / and the negative sign,
; evaluated with * and / before + and -, in 32-bit signed arithmetic. [2nd] [UP] and
; [2nd] [DOWN] set the contrast, [F5] starts the game.

INPUT_ROW       EQU 3
RESULT_ROW      EQU 5

boot:
        di
        ld sp,STACK_TOP
        im 1
        ld a,PORT3_ACK          ; display on
        out (3),a
        ld a,1
        out (5),a
        ld a,LCD_BASE_MAIN
        out (0),a
        ld hl,8000h             ; RAM, LCD included, starts cleared
        ld de,8001h
        ld bc,7FFFh
        ld (hl),0
        ldir
        call detectModel
        ld a,PORT3_ON
        call setPort3
        ld a,CONTRAST_START
        call contrastSet
        ld hl,STORE_START
        ld (storeEnd),hl
        call homeScreen
        ei
calcLoop:
        call waitKey
calcKey:
        cp K_LINK
        jr nz,calcNotLink
        call linkMenu
        call homeScreen
        jr calcLoop
calcNotLink:
        cp K_GAME
        jp z,gameKey
        cp K_DARKER
        jr nz,calcNotDarker
        call contrastDarker
        jr calcLoop
calcNotDarker:
        cp K_LIGHTER
        jr nz,calcNotLighter
        call contrastLighter
        jr calcLoop
calcNotLighter:
        and 3Fh                 ; other shifted keys act as the plain key
        cp K_ENTER
        jr z,calcEnter
        cp K_CLEAR
        jr z,calcClear
        cp K_DEL
        jr z,calcDelete
        ld e,a
        ld d,0
        ld hl,keyChars
        add hl,de
        ld a,(hl)
        or a
        jr z,calcLoop
        ld c,a                  ; the character the key types
        push bc
        call startEntryIfDone
        pop bc
        ld hl,inputLen
        ld a,(hl)
        cp INPUT_MAX
        jr nc,calcFull
        inc (hl)
        ld e,a
        ld d,0
        ld hl,inputBuf
        add hl,de
        ld (hl),c
        inc hl
        ld (hl),0
        call showEntry
        jr calcLoop

; A character more than the entry holds is refused, and said so on the result row
; (the calculator has no speaker to beep); the next change of the entry clears it.
calcFull:
        ld hl,entryFullText
        ld b,RESULT_ROW
        call printRight
        jp calcLoop

calcClear:
        xor a
        ld (inputLen),a
        ld (inputBuf),a
        ld (entryDone),a
        ld b,RESULT_ROW
        call clearRow
        call showEntry
        jp calcLoop

calcDelete:
        call startEntryIfDone
        ld b,RESULT_ROW         ; a note that the entry was full goes
        call clearRow
        ld hl,inputLen
        ld a,(hl)
        or a
        jp z,calcLoop
        dec (hl)
        ld e,(hl)
        ld d,0
        ld hl,inputBuf
        add hl,de
        ld (hl),0
        call showEntry
        jp calcLoop

calcEnter:
        ld a,(inputLen)
        or a
        jp z,calcLoop
        ld a,1
        ld (entryDone),a
        ld b,RESULT_ROW
        call clearRow
        call evaluate
        jr c,calcError
        call formatNumber
        ld b,RESULT_ROW
        call printRight
        jp calcLoop
calcError:
        dec a
        add a,a
        ld e,a
        ld d,0
        ld hl,errorTexts
        add hl,de
        ld a,(hl)
        inc hl
        ld h,(hl)
        ld l,a
        ld b,RESULT_ROW
        call printRight
        jp calcLoop

; After ENTER the next editing key starts a fresh entry.
startEntryIfDone:
        ld a,(entryDone)
        or a
        ret z
        xor a
        ld (entryDone),a
        ld (inputLen),a
        ld (inputBuf),a
        ld b,RESULT_ROW
        jp clearRow

; In the hardware model the bottom row names the game's key; the classic model's
; screen stays as it always was.
homeScreen:
        call clearScreen
        ld hl,titleText
        ld bc,0002h
        call printAt
        ld a,(hwModel)
        or a
        jp z,showEntry
        ld hl,gameKeyText
        ld b,7
        call printRight
        jp showEntry

showEntry:
        ld b,INPUT_ROW
        call clearRow
        ld hl,inputBuf
        call printText
        jp showCursor

; The entry's cursor: a block after the entry, or over its last character when the
; entry is full (the character then shows inverted). While [2nd] is pending the block
; holds an arrow, while [ALPHA] is an A, as on the calculator. Only the LCD shows it:
; the text memory keeps the characters.
showCursor:
        ld a,1
        ld (cursorShown),a
        ld a,(SHIFT_FLAGS)
        and SHIFT_2ND + SHIFT_ALPHA
        ld (cursorShift),a
        ld a,(inputLen)
        cp TEXT_COLS
        jr c,showCursorAt
        ld a,TEXT_COLS - 1
showCursorAt:
        ld b,INPUT_ROW
        ld c,a
        ld a,(cursorShift)
        ld de,cursor2ndGlyph
        cp SHIFT_2ND
        jr z,showCursorShift
        ld de,cursorAlphaGlyph
        cp SHIFT_ALPHA
        jr z,showCursorShift
        ld e,c                  ; the character under it; 0 past the entry's end
        ld d,0
        ld hl,inputBuf
        add hl,de
        ld a,(hl)
        or a
        jr nz,showCursorChar
        ld a," "
showCursorChar:
        call glyphAddress
        ld a,07Ch               ; the glyph's five columns inverted
        jr showCursorDraw
showCursorShift:
        xor a
showCursorDraw:
        push af
        call cellAddress
        pop af
        jp drawCell

; Draws the cursor again when [2nd] or [ALPHA] has changed the pending shift since.
cursorFollowsShift:
        ld a,(SHIFT_FLAGS)
        and SHIFT_2ND + SHIFT_ALPHA
        ld hl,cursorShift
        cp (hl)
        ret z
        jr showCursor
