; Rock Dodge ([F5]): rocks fall, the ship at the bottom dodges them. It needs what
; only the hardware model has: IM 2 through a vector table, the periodic interrupt
; for its timing, several keys held at once ([LEFT] or [RIGHT] with [2nd] held moves
; twice as fast), and grey from two pictures shown in turn through port 0 (the walls
; and the floor). [2nd] [UP] and [2nd] [DOWN] set the contrast here too; [EXIT] or
; [ON] leaves.

FIELD_TOP       EQU 8           ; the first pixel row below the status row
SPRITE_ROWS     EQU 6
SHIP_ROW        EQU 57          ; the ship's top row
SHIP_START      EQU 60
SHIP_LEFT_MOST  EQU 8           ; inside the walls (8 pixels each)
SHIP_RIGHT_MOST EQU 113
ROCK_LAST_ROW   EQU 57          ; a rock further down is past the ship
HIT_REACH       EQU 5           ; ship and rock touch when their columns are as close
STEP_TICKS      EQU 4           ; a game step every 4 periodic interrupts: 50 a second
SPEED_START     EQU 2           ; the rocks' fall in quarter pixels a step
SPEED_MAX       EQU 8
SPAWN_START     EQU 40          ; steps between new rocks
SPAWN_FASTEST   EQU 10
FIRST_ROCK      EQU 10          ; steps before the first one
LEVEL_SCORE     EQU 5           ; points between speed-ups
LCD_BASE_SWAP   EQU 04h         ; LCD_BASE_MAIN xor LCD_BASE_OTHER
PICTURES_APART  EQU 04h         ; (LCD_MEM - LCD_OTHER) / 100h
; The held keys as the keypad scan keeps them.
HELD_ARROWS     EQU keyHeld     ; group 0: bit 1 [LEFT], bit 2 [RIGHT]
HELD_2ND        EQU keyHeld + 6 ; group 6: bit 5 [2nd]
HELD_2ND_BIT    EQU 20h

; [F5]: the game in the hardware model. The classic model says on the result row that
; the game needs the other one, until the next key, which then acts as usual.
gameKey:
        ld a,(hwModel)
        or a
        jr nz,game
        ld b,RESULT_ROW
        call clearRow
        ld hl,needsHardwareText
        ld b,RESULT_ROW
        call printRight
        call waitKey
        push af
        ld b,RESULT_ROW
        call clearRow
        pop af
        jp calcKey

; Entered from the calculator's loop, which it goes back to afresh.
game:
        di
        ld sp,GAME_STACK
        ld a,i
        ld (gameSavedI),a
        ld hl,imTable
        ld de,imTable + 1
        ld bc,256
        ld (hl),IM_VECTOR
        ldir
        ld a,0C3h               ; JP gameInterrupt
        ld (imJump),a
        ld hl,gameInterrupt
        ld (imJump + 1),hl
        ld a,imTable >> 8
        ld i,a
        im 2
        ld a,LCD_BASE_MAIN
        ld (lcdShown),a
        ld a,r                  ; R seeds the rocks
        ld l,a
        ld a,(ticks)
        ld h,a
        set 0,l                 ; never 0
        ld (randomSeed),hl
gameNew:
        di
        call gameSetUp
        ei
gameLoop:
        halt
        ld a,(hwModel)          ; a state taken on in the classic model: no game there
        or a
        jr z,gameLeave
gameKeys:
        call getKey
        jr z,gameSteps
        cp K_OFF
        jr nz,gameNotOff
        call powerOff
        jr gameKeys
gameNotOff:
        push af
        call gameContrast
        pop af
        and 3Fh                 ; a [2nd] pending from moving fast does not count
        cp K_EXIT
        jr z,gameLeave
        cp K_ON
        jr z,gameLeave
        cp K_ENTER
        jr nz,gameKeys
        ld a,(gameOver)
        or a
        jr nz,gameNew
        jr gameKeys
gameSteps:
        ld hl,stepsDue
        ld a,(hl)
        or a
        jr z,gameLoop
        dec (hl)
        ld a,(gameOver)
        or a
        jr nz,gameSteps
        call gameStep
        jr gameSteps

; Back to the calculator with IM 1, I and the LCD base as they were.
gameLeave:
        di
        im 1
        ld a,(gameSavedI)
        ld i,a
        ld a,LCD_BASE_MAIN
        ld (lcdShown),a
        out (0),a
        ld sp,STACK_TOP
        xor a
        ld (SHIFT_FLAGS),a
        ld (repeatKey),a
        call homeScreen
        ei
        jp calcLoop

; A = a key: [UP] or [DOWN] with [2nd] pending or held sets the contrast.
gameContrast:
        ld b,a
        ld a,(HELD_2ND)
        and HELD_2ND_BIT
        jr z,gameContrastKey
        set 6,b                 ; WITH_2ND
gameContrastKey:
        ld a,b
        cp K_DARKER
        jp z,contrastDarker
        cp K_LIGHTER
        jp z,contrastLighter
        ret

; IM 2 lands here: the other picture at every periodic interrupt, a game step every
; STEP_TICKS of them, and the keypad as in the calculator.
gameInterrupt:
        push af
        push bc
        push de
        push hl
        call interruptSources
        bit 1,c
        jr z,gameInterruptKeys
        ld a,(lcdShown)
        xor LCD_BASE_SWAP
        ld (lcdShown),a
        out (0),a
        ld hl,stepTimer
        dec (hl)
        jr nz,gameInterruptKeys
        ld (hl),STEP_TICKS
        ld hl,stepsDue
        inc (hl)
gameInterruptKeys:
        call hardwareInterrupt
        pop hl
        pop de
        pop bc
        pop af
        ei
        reti

; Both pictures drawn afresh and the game's state at its start.
gameSetUp:
        call clearScreen
        ld hl,LCD_OTHER
        ld de,LCD_OTHER + 1
        ld bc,1023
        ld (hl),0
        ldir
        call drawWalls
        xor a
        ld (gameOver),a
        ld (stepsDue),a
        ld (rockFall),a
        ld hl,0
        ld (score),hl
        ld hl,rocks
        ld b,ROCK_SLOTS * 2
gameSetUpRocks:
        ld (hl),a
        inc hl
        djnz gameSetUpRocks
        ld a,STEP_TICKS
        ld (stepTimer),a
        ld a,SPEED_START
        ld (rockSpeed),a
        ld a,SPAWN_START
        ld (spawnEvery),a
        ld a,FIRST_ROCK
        ld (spawnTimer),a
        ld a,LEVEL_SCORE
        ld (levelTimer),a
        ld a,0FFh               ; no held keys shown yet
        ld (keysShown),a
        ld hl,scoreText
        ld bc,0000h
        call gameText
        call showScore
        ld a,SHIP_START
        ld (shipX),a
        jp drawShip

; The side walls grey (lit in the main picture only) with black mortar (lit in both),
; and the floor's last row lit in the other picture only, a lighter grey.
drawWalls:
        ld hl,LCD_MEM + FIELD_TOP * TEXT_COLS
        ld b,FIELD_TOP
drawWallRow:
        call wallMortar
        ld c,a
        ld (hl),0FFh            ; left wall, main picture
        ld a,h
        sub PICTURES_APART
        ld h,a
        ld (hl),c               ; left wall, other picture
        ld de,TEXT_COLS - 1
        add hl,de
        ld (hl),c               ; right wall, other picture
        ld a,h
        add a,PICTURES_APART
        ld h,a
        ld (hl),0FFh            ; right wall, main picture
        inc hl
        inc b
        ld a,b
        cp 64
        jr c,drawWallRow
        ld hl,LCD_OTHER + 63 * TEXT_COLS + 1
        ld b,TEXT_COLS - 2
drawFloor:
        ld (hl),0FFh
        inc hl
        djnz drawFloor
        ret

; B = pixel row -> A = the wall's mortar there: a line every fourth row, the joints
; between lines staggered.
wallMortar:
        ld a,b
        and 3
        cp 3
        ld a,0FFh
        ret z
        bit 2,b
        ld a,81h
        ret z
        ld a,18h
        ret

; One step: the ship by the keys held, the rocks down, maybe a new rock, the held keys
; on the status row.
gameStep:
        call moveShip
        call moveRocks
        ld a,(gameOver)
        or a
        ret nz
        call spawnRock
        jp showKeys

; [LEFT] and [RIGHT] move the ship a pixel a step, two with [2nd] held.
moveShip:
        ld a,(HELD_2ND)
        and HELD_2ND_BIT
        ld c,1
        jr z,moveShipKeys
        ld c,2
moveShipKeys:
        ld a,(HELD_ARROWS)
        ld d,a
        ld a,(shipX)
        ld b,a
        bit 1,d
        jr z,moveShipNotLeft
        sub c
moveShipNotLeft:
        bit 2,d
        jr z,moveShipNotRight
        add a,c
moveShipNotRight:
        cp SHIP_LEFT_MOST
        jr nc,moveShipLeftInside
        ld a,SHIP_LEFT_MOST
moveShipLeftInside:
        cp SHIP_RIGHT_MOST + 1
        jr c,moveShipRightInside
        ld a,SHIP_RIGHT_MOST
moveShipRightInside:
        cp b
        ret z
        push af
        call drawShip           ; exclusive-or: away from where it was
        pop af
        ld (shipX),a
drawShip:
        ld a,(shipX)
        ld c,a
        ld b,SHIP_ROW
        ld de,shipSprite
        jp xorSprite

; The rocks fall by their speed; one past the ship scores, one on it ends the game.
moveRocks:
        ld a,(rockFall)
        ld hl,rockSpeed
        add a,(hl)
        ld b,a
        and 3
        ld (rockFall),a
        ld a,b
        rrca
        rrca
        and 3Fh
        ret z                   ; not a whole pixel yet
        ld (rockStep),a
        ld hl,rocks
        ld b,ROCK_SLOTS
moveRocksNext:
        ld a,(hl)
        or a
        jr z,moveRocksSkip
        push bc
        push hl
        call moveRock
        pop hl
        pop bc
        ld a,(gameOver)
        or a
        ret nz
moveRocksSkip:
        inc hl
        inc hl
        djnz moveRocksNext
        ret

; HL = a rock's slot.
moveRock:
        push hl
        call drawRock           ; away from where it was
        pop hl
        inc hl
        ld a,(rockStep)
        add a,(hl)
        ld (hl),a
        dec hl
        cp ROCK_LAST_ROW + 1
        jr nc,rockPast
        push hl
        call drawRock
        pop hl
        inc hl
        ld a,(hl)
        dec hl
        cp SHIP_ROW - SPRITE_ROWS + 1
        ret c                   ; above the ship
        ld a,(hl)
        add a,a
        add a,a
        add a,a
        ld b,a                  ; the rock's left pixel column
        ld a,(shipX)
        sub b
        add a,HIT_REACH
        cp 2 * HIT_REACH + 1
        ret nc
        jp gameEnd
rockPast:
        ld (hl),0
; A point; every LEVEL_SCORE points the rocks fall faster and come more often.
scorePoint:
        ld hl,(score)
        inc hl
        ld (score),hl
        ld hl,levelTimer
        dec (hl)
        jr nz,showScore
        ld (hl),LEVEL_SCORE
        ld a,(rockSpeed)
        cp SPEED_MAX
        jr nc,scorePointSpawn
        inc a
        ld (rockSpeed),a
scorePointSpawn:
        ld a,(spawnEvery)
        cp SPAWN_FASTEST + 3
        jr c,showScore
        sub 3
        ld (spawnEvery),a
showScore:
        ld hl,(score)
        call formatWord
        ld bc,0006h
        jp gameText

; HL = an unsigned number -> HL = its decimal text.
formatWord:
        ld (numA),hl
        ld hl,0
        ld (numA + 2),hl
        jp formatNumber

; HL = a rock's slot: exclusive-ors it into both pictures.
drawRock:
        ld a,(hl)
        add a,a
        add a,a
        add a,a
        ld c,a
        inc hl
        ld b,(hl)
        ld de,rockSprite
        jp xorSprite

; Every spawnEvery steps a rock at the top of a column chosen at random, unless
; the column's last rock is still close to the top or every slot is taken.
spawnRock:
        ld hl,spawnTimer
        dec (hl)
        ret nz
        ld a,(spawnEvery)
        ld (hl),a
        call random
        and 0Fh
        cp TEXT_COLS - 2
        jr nc,spawnRetry
        inc a
        ld c,a                  ; the column, 1-14
        ld hl,rocks
        ld de,0                 ; the free slot found
        ld b,ROCK_SLOTS
spawnLook:
        ld a,(hl)
        or a
        jr nz,spawnTaken
        ld d,h
        ld e,l
        jr spawnLookNext
spawnTaken:
        cp c
        jr nz,spawnLookNext
        inc hl
        ld a,(hl)
        dec hl
        cp FIELD_TOP + 2 * SPRITE_ROWS
        jr c,spawnRetry
spawnLookNext:
        inc hl
        inc hl
        djnz spawnLook
        ld a,d
        or e
        ret z
        ex de,hl
        ld (hl),c
        inc hl
        ld (hl),FIELD_TOP
        dec hl
        jp drawRock
spawnRetry:
        ld a,1                  ; another try at the next step
        ld (spawnTimer),a
        ret

; -> A = a random byte (xorshift on the 16-bit seed).
random:
        ld hl,(randomSeed)
        ld a,h
        rra
        ld a,l
        rra
        xor h
        ld h,a
        ld a,l
        rra
        ld a,h
        rra
        xor l
        ld l,a
        xor h
        ld h,a
        ld (randomSeed),hl
        ret

; The held keys on the status row: < for [LEFT], + for [2nd], > for [RIGHT].
showKeys:
        ld a,(HELD_ARROWS)
        and 06h
        ld b,a
        ld a,(HELD_2ND)
        and HELD_2ND_BIT
        or b
        ld hl,keysShown
        cp (hl)
        ret z
        ld (hl),a
        ld b,a
        ld hl,keysText
        ld a," "
        bit 1,b
        jr z,showKeysLeft
        ld a,"<"
showKeysLeft:
        ld (hl),a
        inc hl
        ld a," "
        bit 5,b
        jr z,showKeys2nd
        ld a,"+"
showKeys2nd:
        ld (hl),a
        inc hl
        ld a," "
        bit 2,b
        jr z,showKeysRight
        ld a,">"
showKeysRight:
        ld (hl),a
        inc hl
        ld (hl),0
        ld hl,keysText
        ld bc,000Dh
        jp gameText

; The ship is hit: the rocks go, and the best score and how to go on show.
gameEnd:
        ld a,1
        ld (gameOver),a
        ld hl,rocks
        ld b,ROCK_SLOTS
gameEndRocks:
        ld a,(hl)
        or a
        jr z,gameEndRocksNext
        push bc
        push hl
        call drawRock           ; exclusive-or: away
        pop hl
        pop bc
gameEndRocksNext:
        inc hl
        inc hl
        djnz gameEndRocks
        ld hl,(hiScore)
        ld de,(score)
        or a
        sbc hl,de
        jr nc,gameEndBest
        ld (hiScore),de
gameEndBest:
        ld hl,gameOverText
        ld bc,0203h
        call gameText
        ld hl,bestText
        ld bc,0303h
        call gameText
        ld hl,(hiScore)
        call formatWord
        call gameTextHere
        ld hl,againText
        ld bc,0502h
        call gameText
        ld hl,leaveText
        ld bc,0602h
        jp gameText

; Prints the text at HL at row B, column C in both pictures (black).
gameText:
        call setCursor
gameTextHere:
        ld a,(hl)
        or a
        ret z
        push hl
        call putChar
        ld a,(curRow)
        ld b,a
        ld a,(curCol)
        dec a
        ld c,a
        call cellAddress
        ld d,h
        ld e,l
        ld a,d
        sub PICTURES_APART
        ld d,a
        ld b,8
gameTextCopy:
        ld a,(hl)
        ld (de),a
        ld a,l                  ; a cell never crosses a 256-byte page
        add a,TEXT_COLS
        ld l,a
        ld e,a
        djnz gameTextCopy
        pop hl
        inc hl
        jr gameTextHere

; Exclusive-ors the sprite of SPRITE_ROWS bytes at DE into both pictures with its
; left pixel at column C, its top at row B.
xorSprite:
        ld l,b
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld a,c
        rrca
        rrca
        rrca
        and 1Fh
        add a,l                 ; row * 16 ends in 0: no carry
        ld l,a
        ld a,h
        add a,LCD_MEM >> 8
        ld h,a
        ld a,c
        and 7
        ld c,a
        ld b,SPRITE_ROWS
xorSpriteRow:
        push bc
        ld a,(de)
        ld b,0                  ; what spills into the next byte
        inc c
xorSpriteShift:
        dec c
        jr z,xorSpritePut
        srl a
        rr b
        jr xorSpriteShift
xorSpritePut:
        ld c,a
        xor (hl)
        ld (hl),a
        ld a,h
        sub PICTURES_APART
        ld h,a
        ld a,c
        xor (hl)
        ld (hl),a
        inc hl
        ld a,b
        xor (hl)
        ld (hl),a
        ld a,h
        add a,PICTURES_APART
        ld h,a
        ld a,b
        xor (hl)
        ld (hl),a
        ld bc,TEXT_COLS - 1
        add hl,bc
        pop bc
        inc de
        djnz xorSpriteRow
        ret

rockSprite:
        DEFB 38h,7Ch,0FEh,0FEh,7Ch,38h
shipSprite:
        DEFB 10h,38h,38h,7Ch,0FEh,0D6h
