;;; case arithmetic
(list (+ 1 2) (/ 7 2) (div 7 2) (mod 7 3) (- 10 1 2) (* 2 3 4) (- 5))
;; => (3 3.5 3 1 7 24 5)
(+ "2" 3)
;; => 5
(/ 1 3)
;; => 0.3333333333333
(div -7 2)
;; => -3

;;; case rounding
(list (int -2.5) (int -2) (int 2.7) (round -2.5) (round 2.5) (round 2.4) (trunc -2.7) (frac 2.25) (abs -3))
;; => (-3 -3 2 -3 3 2 -2 0.25 3)

;;; case comparisons
(list (= 1 1.0) (/= 1 2) (< 1 2) (> 1 2) (>= 2 2) (<= 3 2) (n= 2 2) (n/= 2 2))
;; => (T T T NIL T NIL T NIL)
(list (s= "a" "a") (s/= "a" "A"))
;; => (T T)
(s= 'a "a")
;; => *
;; err 0xE03A

;;; case min-max-average-logic
(list (min 3 1 2) (max 3 1 2) (average 1 2 3 4))
;; => (1 3 2.5)
(list (and 1 2) (and 1 nil) (or nil 0 "x") (or nil 0) (not nil) (not 1))
;; => (T NIL T NIL T NIL)

;;; case math-functions
(list (sqrt 16) (exp 0) (log 1) (log10 1000) (sin 0) (cos 0))
;; => (4 1 0 3 0 1)
(sqrt -1)
;; => NIL
(log 0)
;; => NIL
(< (random 10) 10)
;; => T

;;; case datetime-arithmetic
(setq d (coerce "$DT730119.5" 'datetime))
;; => $DT730119.5
(type-of (+ d 1))
;; => datetime
(+ d 1)
;; => $DT730120.5
(- d 0.5)
;; => $DT730119
(type-of (- d d))
;; => datetime
(coerce (+ d 2) 'float)
;; => 730121.5
(coerce d 'integer)
;; => 730119
(> (+ d 1) d)
;; => T
(max 1 d)
;; => $DT730119.5
(type-of (getsysvar "CURRENTDATETIME"))
;; => datetime
(< 730119 (getsysvar "CURRENTDATE"))
;; => T
(< (getsysvar "CURRENTTIME") 1)
;; => T
(coerce "garbage" 'datetime)
;; => $DT0
