;;; case runaway-recursion
(defun forever (n) (forever (+ n 1)))
(forever 0)
;; => *
;; err 0xE015
;; msg nesting too deep

;;; case runaway-recursion-with-error-hook
(defun *error* (n tb msg) 0)
(defun forever (n) (+ 1 (forever (+ n 1))))
(forever 0)
;; => *

;;; case deep-but-bounded-recursion
(defun depth (n) (if (= n 0) 0 (+ 1 (depth (- n 1)))))
(depth 400)
;; => 400

;;; case runaway-macro
(defmacro mm (x) (eval (list 'mm x)))
(mm 1)
;; => *
;; err 0xE015

;;; case runtime-built-deep-list
; a value nested deeper than the bound can be built and stored, because
; storing shares it instead of walking it; the walks that recurse
; (comparing, printing) stop at the bound instead of overflowing
(setq x nil)
(setq y nil)
(setq i 0)
(while (< i 3000) (setq x (list x)) (setq y (list y)) (setq i (+ i 1)))
i
;; => 3000
(length (car (car x)))
;; => 1
(eql x x)
;; => T
(eql x y)
;; => *
;; err 0xE015
;; msg nesting too deep
(< (strlen (coerce x "string")) 3100)
;; => T
