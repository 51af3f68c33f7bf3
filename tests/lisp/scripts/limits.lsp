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
; a value nested deeper than the bound cannot be stored
(setq x nil)
(setq i 0)
(while (< i 3000) (setq x (list x)) (setq i (+ i 1)))
;; => *
;; err 0xE036
;; msg x
(< 1400 i 1600)
;; => *
;; err 0xE022
(and (> i 1400) (< i 1600))
;; => T
